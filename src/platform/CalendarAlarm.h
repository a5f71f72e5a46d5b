#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// An alarm of a calendar event. Alarms this app adds fire at an absolute
// moment and are marked as ours, so they can be told from the user's own.
// Alarms read from a file keep their original text, so saving the event again
// writes a user's alarm (relative trigger, own sound, description) unchanged.
struct CalendarAlarm {
    std::optional<QDateTime> absoluteDate;
    // Seconds relative to the event's start, for alarms that are not absolute.
    std::optional<qint64> relativeOffset;
    bool addedByApp = false;
    // A user's alarm as read from its file (empty for ours and for alarms made
    // in code).
    QString originalText;

    static CalendarAlarm atDate(const QDateTime& when, bool addedByApp = true)
    {
        CalendarAlarm alarm;
        alarm.absoluteDate = when;
        alarm.addedByApp = addedByApp;
        return alarm;
    }

    bool operator==(const CalendarAlarm& o) const
    {
        return absoluteDate == o.absoluteDate && relativeOffset == o.relativeOffset && addedByApp == o.addedByApp;
    }
};
