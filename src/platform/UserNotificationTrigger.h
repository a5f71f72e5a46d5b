#pragma once

#include "platform/LocalTimeConverter.h"

#include <QDateTime>

// When a notification is due: a wall-clock minute in the user's calendar and
// time zone, not repeating.
struct UserNotificationTrigger {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;

    // The trigger's year, month, day, hour and minute of `moment` in local time.
    static UserNotificationTrigger matching(const QDateTime& moment)
    {
        const QDateTime local = LocalTimeConverter::current().local(moment);
        return {local.date().year(), local.date().month(), local.date().day(), local.time().hour(),
                local.time().minute()};
    }

    // The moment the trigger fires; invalid when the parts form no date.
    QDateTime fireDate() const
    {
        return LocalTimeConverter::current().dateTime(QDate(year, month, day), QTime(hour, minute));
    }

    bool operator==(const UserNotificationTrigger&) const = default;
};
