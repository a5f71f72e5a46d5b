#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// One event of the dedicated calendar as the schedule screens see it.
struct ShootEvent
{
    QString id;    // the event's identifier in the calendar store
    QString title; // empty when the event has none
    QDateTime startDate;
    QDateTime endDate;
    std::optional<QString> location;
    std::optional<QString> notes;

    bool operator==(const ShootEvent&) const = default;
};
