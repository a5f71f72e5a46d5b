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

// The largest amount a user may type: ¥99,999,999.99.
inline constexpr double kMaxTypedAmount = 99999999.99;

// A typed amount as it may be stored: the empty text is 0, otherwise a
// plain decimal (parseAmount) from 0 up to kMaxTypedAmount.
// `problem` says in Chinese why the text cannot be stored, empty when it can.
struct TypedAmount
{
    double value = 0;
    QString problem;
    bool ok() const { return problem.isEmpty(); }
};
TypedAmount readTyped(const QString& text);

// The amount in plain digits for editing, the shortest text that reads back
// as the same double, whole numbers with ".0" (100000 gives "100000.0",
// 0.0001 "0.0001"): never an exponent. A value that is not finite gives "0.0".
QString editText(double amount);

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

// -1, 0 or 1 as a compares with b in whole cents; amounts beyond the
// 64-bit cent range compare as they are, so they never tie by saturation.
int compareCents(double a, double b);

// Whether `received` reaches `total` in whole cents.
bool covers(double received, double total);

// Two decimals, point separator, no grouping ("%.2f").
QString twoDecimals(double amount);

}
