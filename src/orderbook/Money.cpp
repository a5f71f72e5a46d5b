#include "Money.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace Money {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Grammar check before conversion: from_chars alone would accept "inf",
// "nan" and hex forms in some modes, and we want the same answer everywhere.
bool isPlainDecimal(const QByteArray& s)
{
    int i = 0;
    const int n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-'))
        ++i;
    int intDigits = 0;
    while (i < n && isDigit(s[i])) {
        ++i;
        ++intDigits;
    }
    int fracDigits = 0;
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && isDigit(s[i])) {
            ++i;
            ++fracDigits;
        }
    }
    if (intDigits + fracDigits == 0)
        return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        int expDigits = 0;
        while (i < n && isDigit(s[i])) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    return i == n;
}

}

std::optional<double> parseAmount(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
    }
    const QByteArray s = text.toLatin1();
    if (!isPlainDecimal(s))
        return std::nullopt;
    // from_chars takes no leading '+'.
    const char* begin = s.constData() + (s.startsWith('+') ? 1 : 0);
    const char* end = s.constData() + s.size();
    double value = 0;
    const auto r = std::from_chars(begin, end, value, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != end || !std::isfinite(value))
        return std::nullopt;
    // "-0" is zero: a stored -0 would show as "-0.00" in the CSV.
    return value == 0 ? 0.0 : value;
}

TypedAmount readTyped(const QString& text)
{
    if (text.isEmpty())
        return {};
    const auto value = parseAmount(text);
    if (!value)
        return {0, QStringLiteral("「%1」不是有效金额，请只填写数字，如 3999 或 3999.5（不要逗号、空格或全角数字）").arg(text)};
    // No amount a user types is below zero: a negative total or price
    // would pass for a discount and turn every sum it enters into nonsense.
    // "-0" is refused too, so a field storing each keystroke never stores
    // the 0 on the way to "-0.5".
    if (*value < 0 || text.startsWith(QLatin1Char('-')))
        return {0, QStringLiteral("「%1」不是有效金额，金额不能为负数").arg(text)};
    if (*value > kMaxTypedAmount)
        return {0, QStringLiteral("金额不能超过 ¥99,999,999.99")};
    return {*value, {}};
}

QString editText(double amount)
{
    if (!std::isfinite(amount))
        return QStringLiteral("0.0");
    // Fixed notation with no precision is the shortest round trip without an exponent.
    char buffer[400];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, amount == 0 ? 0.0 : amount, std::chars_format::fixed);
    QString text = QString::fromLatin1(buffer, r.ec == std::errc() ? int(r.ptr - buffer) : 0);
    if (!text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text;
}

QString wholeYuan(double amount)
{
    if (!std::isfinite(amount))
        return QStringLiteral("0");
    const double whole = std::trunc(amount);
    if (whole == 0)
        return QStringLiteral("0"); // never "-0" for -0.5
    if (std::fabs(whole) < 9.0e18)
        return QString::number(static_cast<qint64>(whole));
    return QString::number(whole, 'f', 0);
}

QString yuanText(double amount)
{
    return QStringLiteral("¥") + wholeYuan(amount);
}

qint64 cents(double amount)
{
    if (!std::isfinite(amount))
        return 0;
    const double c = std::round(amount * 100.0);
    constexpr double limit = 9.2e18;
    if (c >= limit)
        return std::numeric_limits<qint64>::max();
    if (c <= -limit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(c);
}

qint64 addCents(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (!__builtin_add_overflow(a, b, &sum))
        return sum;
    return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

QString centsYuanText(qint64 cents)
{
    return QStringLiteral("¥") + QString::number(cents / 100);
}

int compareCents(double a, double b)
{
    constexpr double centRange = 9.0e16; // yuan whose cents fit 64 bits
    if (std::fabs(a) >= centRange || std::fabs(b) >= centRange)
        return a < b ? -1 : (a > b ? 1 : 0);
    const qint64 ca = cents(a);
    const qint64 cb = cents(b);
    return ca < cb ? -1 : (ca > cb ? 1 : 0);
}

bool covers(double received, double total)
{
    return compareCents(received, total) >= 0;
}

QString twoDecimals(double amount)
{
    // to_chars gives the same correctly rounded digits as "%.2f" without
    // the cost of a format string, which a CSV of thousands of orders feels.
    char buffer[400];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, amount, std::chars_format::fixed, 2);
    if (r.ec != std::errc())
        return QString::asprintf("%.2f", amount);
    return QString::fromLatin1(buffer, int(r.ptr - buffer));
}

}
