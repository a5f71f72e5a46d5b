#pragma once

#include <QDate>
#include <QDateTime>

// Fast local-calendar arithmetic for the order book's hot paths.
//
// Converting a Qt::LocalTime QDateTime to or from UTC asks the C library each
// time (about a microsecond), which dominates loading, saving and indexing
// tens of thousands of orders. Stored instants are therefore made as
// Qt::OffsetFromUTC values carrying the local offset in effect at that instant:
// date() and time() still read the local wall clock, and the UTC milliseconds
// come for free. Offsets are read at quarter-hour steps of UTC time, the
// finest step at which real time-zone rules change.
class LocalCalendar
{
public:
    // The local UTC offset, in seconds, at the instant `utcMs`.
    static int utcOffsetAt(qint64 utcMs);
    // The instant `utcMs`, showing local wall-clock time.
    static QDateTime fromMSecsSinceEpoch(qint64 utcMs);
    // The local calendar day of an instant, whatever its time spec.
    static QDate dayOf(const QDateTime& moment);
    // `moment` showing the local wall-clock time of the current zone.
    static QDateTime relocalized(const QDateTime& moment);
    // Forget cached offsets (after the system time zone changed), in every
    // thread.
    static void resetCache();
    // Counts the resets, so caches built over day rules know when to rebuild.
    static int generation();
};
