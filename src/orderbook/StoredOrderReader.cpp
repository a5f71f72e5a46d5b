#include "StoredOrderReader.h"

#include "orderbook/OrderCodec.h"
#include "platform/UserDefaultsFile.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The text the writer gives `d`: shortest round trip, plain digits in the
// range amounts and dates live in.
qsizetype writtenNumber(double d, char* buf, qsizetype size)
{
    const double mag = std::fabs(d);
    const bool plain = mag == 0 || (mag >= 1e-6 && mag < 1e21);
    const auto r = std::to_chars(buf, buf + size, d, plain ? std::chars_format::fixed : std::chars_format::general);
    return r.ptr - buf;
}

bool isUpperHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

}

StoredOrderReader::StoredOrderReader(const QByteArray& json)
    : m_p(json.constData())
    , m_end(json.constData() + json.size())
{
}

bool StoredOrderReader::literal(const char* text, qsizetype size)
{
    if (m_end - m_p < size || std::memcmp(m_p, text, size_t(size)) != 0)
        return false;
    m_p += size;
    return true;
}

bool StoredOrderReader::string(QString& out)
{
    if (!literal("\""))
        return false;
    m_text.clear();
    const char* run = m_p;
    // Raw runs must be text the general parser reads as the same characters;
    // escapes only the ones the writer makes.
    auto flush = [&] {
        const qsizetype n = m_p - run;
        if (!UserDefaultsFile::plainTextEscapes(run, n))
            return false;
        m_text.append(run, n);
        return true;
    };
    while (m_p < m_end) {
        const char c = *m_p;
        if (c == '"') {
            if (!flush())
                return false;
            ++m_p;
            out = QString::fromUtf8(m_text);
            return true;
        }
        if (c != '\\') {
            ++m_p;
            continue;
        }
        if (!flush() || m_end - m_p < 2)
            return false;
        char byte = 0;
        switch (m_p[1]) {
        case '"': byte = '"'; break;
        case '\\': byte = '\\'; break;
        case 'n': byte = '\n'; break;
        case 'r': byte = '\r'; break;
        case 't': byte = '\t'; break;
        case 'b': byte = '\b'; break;
        case 'f': byte = '\f'; break;
        case 'u': {
            if (m_end - m_p < 6 || m_p[2] != '0' || m_p[3] != '0')
                return false;
            const int high = hexDigit(m_p[4]);
            const int low = hexDigit(m_p[5]);
            if (high < 0 || high > 1 || low < 0)
                return false;
            byte = char(high * 16 + low);
            if (byte == '\n' || byte == '\r' || byte == '\t' || byte == '\b' || byte == '\f')
                return false;
            m_p += 4;
            break;
        }
        default:
            return false;
        }
        m_text.append(byte);
        m_p += 2;
        run = m_p;
    }
    return false;
}

bool StoredOrderReader::number(double& out)
{
    const char* start = m_p;
    while (m_p < m_end && ((*m_p >= '0' && *m_p <= '9') || *m_p == '-' || *m_p == '+' || *m_p == '.' || *m_p == 'e'))
        ++m_p;
    const auto r = std::from_chars(start, m_p, out);
    if (r.ec != std::errc() || r.ptr != m_p || !std::isfinite(out) || (out == 0 && std::signbit(out)))
        return false;
    char buf[64];
    const qsizetype n = writtenNumber(out, buf, sizeof buf);
    return n == m_p - start && std::memcmp(buf, start, size_t(n)) == 0;
}

bool StoredOrderReader::date(QDateTime& out)
{
    double seconds = 0;
    if (!number(seconds))
        return false;
    const auto dt = OrderCodec::dateFromReferenceSeconds(seconds);
    if (!dt)
        return false;
    out = *dt;
    return true;
}

bool StoredOrderReader::uuid(QUuid& out)
{
    if (m_end - m_p < 38 || m_p[0] != '"' || m_p[37] != '"')
        return false;
    const char* text = m_p + 1;
    for (int i = 0; i < 36; ++i) {
        const bool hyphenSlot = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphenSlot ? text[i] != '-' : !isUpperHex(text[i]))
            return false;
    }
    out = QUuid::fromString(QLatin1StringView(text, 36));
    m_p += 38;
    return true;
}

bool StoredOrderReader::boolean(bool& out)
{
    if (literal("true"))
        out = true;
    else if (literal("false"))
        out = false;
    else
        return false;
    return true;
}

bool StoredOrderReader::payment(PaymentRecord& p)
{
    return literal("{\"id\":") && uuid(p.id) && literal(",\"amount\":") && number(p.amount)
        && literal(",\"date\":") && date(p.date) && literal(",\"note\":") && string(p.note) && literal("}");
}

bool StoredOrderReader::order(Order& o)
{
    QString slot, status;
    if (!(literal("{\"id\":") && uuid(o.id) && literal(",\"customerName\":") && string(o.customerName)
          && literal(",\"phone\":") && string(o.phone) && literal(",\"packageType\":") && string(o.packageType)
          && literal(",\"shootDate\":") && date(o.shootDate) && literal(",\"shootTime\":") && date(o.shootTime)
          && literal(",\"timeSlot\":") && string(slot) && literal(",\"totalAmount\":") && number(o.totalAmount)
          && literal(",\"depositAmount\":") && number(o.depositAmount) && literal(",\"payments\":[")))
        return false;
    if (!literal("]")) {
        do {
            PaymentRecord p;
            if (!payment(p))
                return false;
            o.payments.append(std::move(p));
        } while (literal(","));
        if (!literal("]"))
            return false;
    }
    if (!(literal(",\"note\":") && string(o.note) && literal(",\"status\":") && string(status)
          && literal(",\"syncToCalendar\":") && boolean(o.syncToCalendar) && literal(",\"reminderRule\":")
          && string(o.reminderRule)))
        return false;
    if (literal(",\"calendarEventIdentifier\":")) {
        QString event;
        if (!string(event))
            return false;
        o.calendarEventIdentifier = std::move(event);
    }
    if (!(literal(",\"shootLocation\":") && string(o.shootLocation) && literal(",\"isShootDateTBD\":")
          && boolean(o.isShootDateTBD) && literal("}")))
        return false;
    const auto s = shootTimeSlotFromRawValue(slot);
    const auto st = orderStatusFromRawValue(status);
    if (!s || !st)
        return false;
    o.timeSlot = *s;
    o.status = *st;
    return true;
}

std::optional<QList<Order>> StoredOrderReader::read(QList<QByteArray>& elements)
{
    QList<Order> orders;
    QList<QByteArray> bytes;
    if (!literal("["))
        return std::nullopt;
    if (!literal("]")) {
        do {
            const char* start = m_p;
            Order o;
            if (!order(o))
                return std::nullopt;
            orders.append(std::move(o));
            bytes.append(QByteArray(start, m_p - start));
        } while (literal(","));
        if (!literal("]"))
            return std::nullopt;
    }
    if (m_p != m_end)
        return std::nullopt;
    elements = std::move(bytes);
    return orders;
}
