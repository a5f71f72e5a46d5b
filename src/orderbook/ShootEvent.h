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
    // The order the app wrote the event for, as the event names it; empty
    // for events of others and those written before events carried it.
    QString orderId;

    bool operator==(const ShootEvent&) const = default;
};
