#include "OrderCodec.h"

#include "orderbook/LocalCalendar.h"
#include "orderbook/StoredOrderReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr qint64 kReferenceEpochMs = 978307200000LL; // 2001-01-01T00:00:00Z
// About ±300,000 years: wider than any real date, narrow enough that the
// millisecond count never overflows.
constexpr double kMaxReferenceSeconds = 1.0e13;

// The canonical upper-case text of `id` in quotes, 38 bytes.
void writeUuid(const QUuid& id, char* out)
{
    static const char hex[] = "0123456789ABCDEF";
    uchar raw[16];
    qToBigEndian(id.data1, raw);
    qToBigEndian(id.data2, raw + 4);
    qToBigEndian(id.data3, raw + 6);
    std::memcpy(raw + 8, id.data4, 8);
    int o = 0;
    out[o++] = '"';
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out[o++] = '-';
        const auto b = static_cast<unsigned char>(raw[i]);
        out[o++] = hex[b >> 4];
        out[o++] = hex[b & 0xf];
    }
    out[o++] = '"';
}

// A compact JSON writer for the hot path: saving ten thousand orders through
// QJsonDocument costs several times more than writing the bytes directly.
class Writer
{
public:
    explicit Writer(qsizetype reserve) { m_out.reserve(reserve); }

    bool ok() const { return m_ok; }
    QByteArray take() { return std::move(m_out); }

    // Members: key() puts the comma between them; elements: element().
    void key(const char* name)
    {
        if (m_needComma)
            m_out.append(',');
        m_out.append('"');
        m_out.append(name);
        m_out.append("\":");
        m_needComma = true;
    }
    void element()
    {
        if (m_needComma)
            m_out.append(',');
        m_needComma = true;
    }
    void openObject()
    {
        m_out.append('{');
        m_needComma = false;
    }
    void closeObject()
    {
        m_out.append('}');
        m_needComma = true;
    }
    void openArray()
    {
        m_out.append('[');
        m_needComma = false;
    }
    void closeArray()
    {
        m_out.append(']');
        m_needComma = true;
    }

    void string(const QString& s)
    {
        const QByteArray utf8 = s.toUtf8();
        m_out.append('"');
        // Copy clean runs whole; only escapes go byte by byte.
        const char* p = utf8.constData();
        const char* end = p + utf8.size();
        const char* run = p;
        for (; p != end; ++p) {
            const auto c = static_cast<unsigned char>(*p);
            if (c >= 0x20 && c != '"' && c != '\\')
                continue;
            m_out.append(run, p - run);
            run = p + 1;
            switch (c) {
            case '"': m_out.append("\\\"", 2); break;
            case '\\': m_out.append("\\\\", 2); break;
            case '\n': m_out.append("\\n", 2); break;
            case '\r': m_out.append("\\r", 2); break;
            case '\t': m_out.append("\\t", 2); break;
            case '\b': m_out.append("\\b", 2); break;
            case '\f': m_out.append("\\f", 2); break;
            default: {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                m_out.append(buf, 6);
            }
            }
        }
        m_out.append(run, end - run);
        m_out.append('"');
    }
    void number(double d)
    {
        if (!std::isfinite(d)) {
            m_ok = false;
            m_out.append('0');
            return;
        }
        // Shortest text that reads back the same, in plain digits for the
        // range amounts and dates live in ("785000000", not "7.85e+08").
        char buf[64];
        const double mag = std::fabs(d);
        const bool plain = mag == 0 || (mag >= 1e-6 && mag < 1e21);
        const auto r = std::to_chars(buf, buf + sizeof buf, d,
                                     plain ? std::chars_format::fixed : std::chars_format::general);
        m_out.append(buf, r.ptr - buf);
    }
    void integer(qint64 i) { m_out.append(QByteArray::number(i)); }
    void boolean(bool b) { m_out.append(b ? "true" : "false"); }
    void date(const QDateTime& dt)
    {
        if (!dt.isValid()) {
            m_ok = false;
            m_out.append('0');
            return;
        }
        number(OrderCodec::referenceSeconds(dt));
    }
    void uuid(const QUuid& id)
    {
        char buf[38];
        writeUuid(id, buf);
        m_out.append(buf, 38);
    }

private:
    QByteArray m_out;
    bool m_needComma = false;
    bool m_ok = true;
};

// Writes a JSON array of `items` with `writeOne` filling each object's members.
template <typename T, typename F>
std::optional<QByteArray> writeArray(const QList<T>& items, qsizetype perItem, F writeOne)
{
    Writer w(items.size() * perItem + 2);
    w.openArray();
    for (const T& item : items) {
        w.element();
        w.openObject();
        writeOne(w, item);
        w.closeObject();
    }
    w.closeArray();
    if (!w.ok())
        return std::nullopt;
    return w.take();
}

void writePayment(Writer& w, const PaymentRecord& p)
{
    w.key("id");
    w.uuid(p.id);
    w.key("amount");
    w.number(p.amount);
    w.key("date");
    w.date(p.date);
    w.key("note");
    w.string(p.note);
}

void writeOrder(Writer& w, const Order& o)
{
    w.key("id");
    w.uuid(o.id);
    w.key("customerName");
    w.string(o.customerName);
    w.key("phone");
    w.string(o.phone);
    w.key("packageType");
    w.string(o.packageType);
    w.key("shootDate");
    w.date(o.shootDate);
    w.key("shootTime");
    w.date(o.shootTime);
    w.key("timeSlot");
    w.string(rawValue(o.timeSlot));
    w.key("totalAmount");
    w.number(o.totalAmount);
    w.key("depositAmount");
    w.number(o.depositAmount);
    w.key("payments");
    w.openArray();
    for (const PaymentRecord& p : o.payments) {
        w.element();
        w.openObject();
        writePayment(w, p);
        w.closeObject();
    }
    w.closeArray();
    w.key("note");
    w.string(o.note);
    w.key("status");
    w.string(rawValue(o.status));
    w.key("syncToCalendar");
    w.boolean(o.syncToCalendar);
    w.key("reminderRule");
    w.string(o.reminderRule);
    if (o.calendarEventIdentifier) {
        w.key("calendarEventIdentifier");
        w.string(*o.calendarEventIdentifier);
    }
    w.key("shootLocation");
    w.string(o.shootLocation);
    w.key("isShootDateTBD");
    w.boolean(o.isShootDateTBD);
}

// Strict member readers: a missing member, a null or a wrong JSON type fails.
class Reader
{
public:
    explicit Reader(const QJsonObject& o) : m_o(o) {}
    bool ok() const { return m_ok; }

    QJsonValue member(const char* name)
    {
        const QJsonValue v = m_o.value(QLatin1String(name));
        if (v.isUndefined() || v.isNull())
            m_ok = false;
        return v;
    }
    QString string(const char* name)
    {
        const QJsonValue v = member(name);
        if (!v.isString())
            m_ok = false;
        return v.toString();
    }
    double number(const char* name)
    {
        const QJsonValue v = member(name);
        if (!v.isDouble() || !std::isfinite(v.toDouble()))
            m_ok = false;
        return v.toDouble();
    }
    // A whole number that fits 64 bits; 7.0 reads as 7, 7.5 does not read.
    qint64 integer(const char* name)
    {
        const QJsonValue v = member(name);
        const double d = v.toDouble();
        if (!v.isDouble() || d != std::trunc(d) || std::fabs(d) > 9.2e18) {
            m_ok = false;
            return 0;
        }
        return v.toInteger();
    }
    bool boolean(const char* name)
    {
        const QJsonValue v = member(name);
        if (!v.isBool())
            m_ok = false;
        return v.toBool();
    }
    QUuid uuid(const char* name)
    {
        const auto id = OrderCodec::parseUuid(string(name));
        if (!id)
            m_ok = false;
        return id.value_or(QUuid());
    }
    QDateTime date(const char* name)
    {
        const auto dt = OrderCodec::dateFromReferenceSeconds(number(name));
        if (!dt)
            m_ok = false;
        return dt.value_or(QDateTime());
    }
    void fail() { m_ok = false; }

private:
    const QJsonObject& m_o;
    bool m_ok = true;
};

std::optional<QJsonArray> parseArray(const QByteArray& json)
{
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    return doc.array();
}

// Every element must be an object that reads: one bad element fails the list.
template <typename T, typename F>
std::optional<QList<T>> readItems(const QJsonArray& array, F readOne)
{
    QList<T> out;
    out.reserve(array.size());
    for (const QJsonValue& v : array) {
        if (!v.isObject())
            return std::nullopt;
        auto item = readOne(v.toObject());
        if (!item)
            return std::nullopt;
        out.append(std::move(*item));
    }
    return out;
}

template <typename T, typename F>
std::optional<QList<T>> readArray(const QByteArray& json, F readOne)
{
    const auto array = parseArray(json);
    if (!array)
        return std::nullopt;
    return readItems<T>(*array, readOne);
}

std::optional<PaymentRecord> readPayment(const QJsonObject& o)
{
    Reader r(o);
    PaymentRecord p;
    p.id = r.uuid("id");
    p.amount = r.number("amount");
    p.date = r.date("date");
    p.note = r.string("note");
    if (!r.ok())
        return std::nullopt;
    return p;
}

std::optional<Order> readOrder(const QJsonObject& o)
{
    Reader r(o);
    Order order;
    order.id = r.uuid("id");
    order.customerName = r.string("customerName");
    order.phone = r.string("phone");
    order.packageType = r.string("packageType");
    order.shootDate = r.date("shootDate");
    order.shootTime = r.date("shootTime");
    const auto slot = shootTimeSlotFromRawValue(r.string("timeSlot"));
    if (!slot)
        return std::nullopt;
    order.timeSlot = *slot;
    order.totalAmount = r.number("totalAmount");
    order.depositAmount = r.number("depositAmount");
    const QJsonValue payments = r.member("payments");
    if (!payments.isArray())
        return std::nullopt;
    auto paymentList = readItems<PaymentRecord>(payments.toArray(), readPayment);
    if (!paymentList)
        return std::nullopt;
    order.payments = std::move(*paymentList);
    order.note = r.string("note");
    const auto status = orderStatusFromRawValue(r.string("status"));
    if (!status)
        return std::nullopt;
    order.status = *status;
    order.syncToCalendar = r.boolean("syncToCalendar");
    order.reminderRule = r.string("reminderRule");
    // The one optional member: missing and null both mean "no event".
    const QJsonValue event = o.value(QLatin1String("calendarEventIdentifier"));
    if (event.isString())
        order.calendarEventIdentifier = event.toString();
    else if (!event.isUndefined() && !event.isNull())
        return std::nullopt;
    order.shootLocation = r.string("shootLocation");
    order.isShootDateTBD = r.boolean("isShootDateTBD");
    if (!r.ok())
        return std::nullopt;
    return order;
}

std::optional<RestDay> readRestDay(const QJsonObject& o)
{
    Reader r(o);
    RestDay d;
    d.id = r.uuid("id");
    d.date = r.date("date");
    if (!r.ok())
        return std::nullopt;
    return d;
}

std::optional<Package> readPackage(const QJsonObject& o)
{
    Reader r(o);
    Package p;
    p.id = r.uuid("id");
    p.name = r.string("name");
    p.price = r.number("price");
    p.deposit = r.number("deposit");
    p.isBuiltin = r.boolean("isBuiltin");
    if (!r.ok())
        return std::nullopt;
    return p;
}

std::optional<ReminderRule> readReminderRule(const QJsonObject& o)
{
    Reader r(o);
    ReminderRule rule;
    rule.id = r.uuid("id");
    rule.value = r.integer("value");
    const auto unit = reminderUnitFromRawValue(r.string("unit"));
    if (!unit)
        return std::nullopt;
    rule.unit = *unit;
    // Optional: missing and null both mean "no time of day given".
    const QJsonValue trigger = o.value(QLatin1String("triggerTime"));
    if (!trigger.isUndefined() && !trigger.isNull())
        rule.triggerTime = r.date("triggerTime");
    if (!r.ok())
        return std::nullopt;
    return rule;
}

bool isHex(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

}

std::optional<QByteArray> OrderCodec::encodeOrders(const QList<Order>& orders)
{
    return writeArray(orders, 520, writeOrder);
}

std::optional<QByteArray> OrderCodec::encodeOrder(const Order& order)
{
    Writer w(520);
    w.openObject();
    writeOrder(w, order);
    w.closeObject();
    if (!w.ok())
        return std::nullopt;
    return w.take();
}

QByteArray OrderCodec::joinArray(const QList<QByteArray>& elements)
{
    qsizetype size = 2 + elements.size();
    for (const QByteArray& e : elements)
        size += e.size();
    QByteArray out;
    out.reserve(size);
    out.append('[');
    for (qsizetype i = 0; i < elements.size(); ++i) {
        if (i)
            out.append(',');
        out.append(elements[i]);
    }
    out.append(']');
    return out;
}

std::optional<QList<Order>> OrderCodec::decodeOrders(const QByteArray& json)
{
    return readArray<Order>(json, readOrder);
}

std::optional<QList<Order>> OrderCodec::decodeStoredOrders(const QByteArray& json, QList<QByteArray>& elements)
{
    if (auto orders = StoredOrderReader(json).read(elements))
        return orders;
    auto orders = decodeOrders(json);
    elements = QList<QByteArray>(orders ? orders->size() : 0);
    return orders;
}

std::optional<QByteArray> OrderCodec::encodeRestDays(const QList<RestDay>& days)
{
    return writeArray(days, 64, [](Writer& w, const RestDay& d) {
        w.key("id");
        w.uuid(d.id);
        w.key("date");
        w.date(d.date);
    });
}

std::optional<QList<RestDay>> OrderCodec::decodeRestDays(const QByteArray& json)
{
    return readArray<RestDay>(json, readRestDay);
}

std::optional<QByteArray> OrderCodec::encodePackages(const QList<Package>& packages)
{
    return writeArray(packages, 110, [](Writer& w, const Package& p) {
        w.key("id");
        w.uuid(p.id);
        w.key("name");
        w.string(p.name);
        w.key("price");
        w.number(p.price);
        w.key("deposit");
        w.number(p.deposit);
        w.key("isBuiltin");
        w.boolean(p.isBuiltin);
    });
}

std::optional<QList<Package>> OrderCodec::decodePackages(const QByteArray& json)
{
    return readArray<Package>(json, readPackage);
}

std::optional<QByteArray> OrderCodec::encodeReminderRules(const QList<ReminderRule>& rules)
{
    return writeArray(rules, 100, [](Writer& w, const ReminderRule& rule) {
        w.key("id");
        w.uuid(rule.id);
        w.key("value");
        w.integer(rule.value);
        w.key("unit");
        w.string(rawValue(rule.unit));
        if (rule.triggerTime) {
            w.key("triggerTime");
            w.date(*rule.triggerTime);
        }
    });
}

std::optional<QList<ReminderRule>> OrderCodec::decodeReminderRules(const QByteArray& json)
{
    return readArray<ReminderRule>(json, readReminderRule);
}

bool OrderCodec::isEncodable(const Order& order)
{
    if (!order.hasFiniteAmounts() || !order.shootDate.isValid() || !order.shootTime.isValid())
        return false;
    for (const PaymentRecord& p : order.payments) {
        if (!p.date.isValid())
            return false;
    }
    return true;
}

double OrderCodec::referenceSeconds(const QDateTime& moment)
{
    // Integer milliseconds first, then one division: 786000000.123 comes
    // back as exactly that shortest text.
    return double(moment.toMSecsSinceEpoch() - kReferenceEpochMs) / 1000.0;
}

std::optional<QDateTime> OrderCodec::dateFromReferenceSeconds(double seconds)
{
    if (!std::isfinite(seconds) || std::fabs(seconds) > kMaxReferenceSeconds)
        return std::nullopt;
    const qint64 ms = std::llround(seconds * 1000.0) + kReferenceEpochMs;
    return LocalCalendar::fromMSecsSinceEpoch(ms);
}

QString OrderCodec::uuidText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> OrderCodec::parseUuid(const QString& text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (int i = 0; i < 36; ++i) {
        const bool hyphenSlot = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphenSlot ? text[i] != QLatin1Char('-') : !isHex(text[i]))
            return std::nullopt;
    }
    const QUuid id = QUuid::fromString(text);
    if (id.isNull() && text != QLatin1String("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;
    return id;
}
