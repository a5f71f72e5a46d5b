#pragma once

#include "platform/CalendarSource.h"

#include <QColor>
#include <QString>

// One calendar of the calendar store. `identifier` is assigned by the store
// when the calendar is first saved and never changes afterwards.
struct CalendarInfo {
    QString identifier;
    QString title;
    QColor color;
    CalendarSource source;

    bool operator==(const CalendarInfo&) const = default;
};
