#pragma once

#include <QList>
#include <QString>

#include <array>
#include <optional>

// Income figures in whole cents, so sums of cent amounts never lose a yuan
// to floating-point drift before they are truncated for display.

// The status and package filters; "全部" passes every order.
struct StatsFilters
{
    QString status = QStringLiteral("全部");
    QString package = QStringLiteral("全部");
};

// The figures that depend on the counting mode.
struct ModeFigures
{
    qint64 today = 0;
    qint64 month = 0;
    qint64 year = 0;
    qint64 average = 0;    // month income over the counted orders, truncated
    qint64 cumulative = 0;
    bool operator==(const ModeFigures&) const = default;
};

struct StatsFigures
{
    bool isSearching = false;
    QList<int> filtered;             // store positions, latest shoot first
    std::array<ModeFigures, 2> modes; // 0 cash, 1 completed
    qint64 receivedTotal = 0;
    qint64 pendingTotal = 0;
    int monthOrderCount = 0;
};

// One package name with the income and number of its orders in one mode.
struct PackageShareRow
{
    QString package;
    qint64 amount = 0;
    int count = 0;
    bool operator==(const PackageShareRow&) const = default;
};

// One month of the trend chart.
struct TrendPoint
{
    QString month;
    qint64 received = 0;
    qint64 completed = 0;
    // The value shown in `mode` (0 cash, otherwise completed).
    qint64 value(int mode) const { return mode == 0 ? received : completed; }
    bool operator==(const TrendPoint&) const = default;
};

// What the figures need of one order, taken once per store change so a new
// search only filters and adds: days as Julian day numbers, sums in cents.
struct OrderFacts
{
    // Name and phone case-folded once: the search then compares exactly,
    // which is what a case-insensitive search of them means.
    QString foldedName;
    QString foldedPhone;
    qint64 shootDay = 0;
    qint64 total = 0;
    qint64 received = 0;
    std::optional<qint64> completedDay;
    int firstPayment = 0; // into StatsFacts::payments
    int paymentCount = 0;
};

struct StatsFacts
{
    QList<OrderFacts> orders;              // parallel to the store's orders
    QList<std::pair<qint64, qint64>> payments; // (day, cents) of every payment
    QList<int> latestShootFirst;           // store positions, stable
};
