#pragma once

#include <QDate>
#include <QDateTime>
#include <QUuid>

// A day closed for bookings. `date` is the start of that day in the local
// time zone at the moment it was marked.
struct RestDay
{
    QUuid id;
    QDateTime date;

    RestDay() = default;
    // A rest day with a fresh random id at the start of `day`.
    explicit RestDay(const QDate& day);
    // The start of the local day of `moment`.
    explicit RestDay(const QDateTime& moment);

    // The local calendar day the rest day falls on.
    QDate day() const;

    bool operator==(const RestDay&) const = default;
};
