#pragma once

#include <QString>

// One month of the revenue trend: booked by shoot month, received by payment
// month, completed by completion month.
struct RevenueTrendRow
{
    QString month; // "M月"
    double revenue = 0;
    double received = 0;
    double completed = 0;

    bool operator==(const RevenueTrendRow&) const = default;
};
