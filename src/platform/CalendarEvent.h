#pragma once

#include "platform/CalendarAlarm.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// One event of the calendar store. `identifier` is the event's stable UID: it
// is empty until the event is first saved, then assigned by the store.
// For an all-day event the start is local midnight of its first day and the
// end local midnight after its last day.
struct CalendarEvent {
    QString identifier;
    QString calendarIdentifier;
    QString title;
    std::optional<QString> notes;
    std::optional<QString> location;
    QDateTime startDate;
    QDateTime endDate;
    bool allDay = false;
    QList<CalendarAlarm> alarms;
    // The order this app wrote the event for (upper-case UUID text); empty for
    // events of others and those written before events carried it.
    QString orderIdentifier;

    void addAlarm(const CalendarAlarm& alarm) { alarms.append(alarm); }

    bool operator==(const CalendarEvent& o) const
    {
        return identifier == o.identifier && calendarIdentifier == o.calendarIdentifier && title == o.title
            && notes == o.notes && location == o.location && startDate == o.startDate && endDate == o.endDate
            && allDay == o.allDay && alarms == o.alarms && orderIdentifier == o.orderIdentifier;
    }
};
