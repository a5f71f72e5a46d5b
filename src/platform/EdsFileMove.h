#pragma once

#include <QString>

class EdsCalendarStore;

// Moves the calendars of the iCalendar file store into the desktop's calendar
// service, once: each file's events go, with their UIDs and every line they
// hold, into the service's calendar of the same name (made where the sync
// would make it when there is none), and the file is then renamed aside so no
// store reads it again. Events the service already holds are not added twice,
// so a move cut short can simply run again.
namespace EdsFileMove {
// True when there was nothing to move or everything moved; false with the
// reason in `error` otherwise (the files then stay where they are).
bool run(const QString& folder, EdsCalendarStore& target, QString* error);
}
