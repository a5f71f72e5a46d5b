#pragma once

#include <QString>

#include <optional>

// Amounts are doubles in yuan; this is the one place that reads them from
// text, shows them, and compares them. Comparisons go through whole cents so
// sums like 300.05 + 700.05 settle a total of 1000.1.
namespace Money {

// The whole text must be a plain decimal number: optional sign, ASCII digits
// with an optional point, optional exponent. No blanks, grouping, hex, inf or
// nan; a result that is not finite does not read either.
std::optional<double> parseAmount(const QString& text);

// Whole yuan, truncated toward zero, plain digits ("%lld" style) for any
// double: huge values print all their digits instead of overflowing, and a
// value that is not finite shows as 0.
QString wholeYuan(double amount);
// "¥" followed by wholeYuan(amount).
QString yuanText(double amount);

// The amount rounded to whole cents, saturated to the 64-bit range; a value
// that is not finite counts as 0.
qint64 cents(double amount);

// a + b, held at the 64-bit limits instead of wrapping.
qint64 addCents(qint64 a, qint64 b);
// "¥" and the whole yuan of a sum kept in cents, truncated toward zero.
QString centsYuanText(qint64 cents);

// -1, 0 or 1 as a compares with b in whole cents.
int compareCents(double a, double b);

// Whether `received` reaches `total` in whole cents.
bool covers(double received, double total);

// Two decimals, point separator, no grouping ("%.2f").
QString twoDecimals(double amount);

}
