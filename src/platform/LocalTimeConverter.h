#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <memory>

class QTimeZone;

// Local wall-clock time without asking the C library each time. With TZ
// unset, glibc looks at /etc/localtime again on every local-time conversion
// (a stat call each), which made batches of thousands of calendar events and
// reminders spend most of their time there. The zone is read once into a
// table of its offset changes and read again only after the time-zone
// watcher saw it change (`refresh`).
//
// Instants come out as Qt::OffsetFromUTC values carrying the local offset:
// date() and time() read the local wall clock and the UTC milliseconds come
// for free. Copies are cheap and share the table; each thread has its own.
class LocalTimeConverter
{
public:
    // The converter of the zone in force, made on first use in each thread
    // and kept until the next `refresh`.
    static LocalTimeConverter current();
    // The zone changed: every thread reads it again on its next `current`.
    static void refresh();

    // Over `zone`; a zone the C library disagrees with (a TZ only it can
    // read) leaves every conversion to the C library.
    explicit LocalTimeConverter(const QTimeZone& zone);

    // The local UTC offset, in seconds, at the instant `utcMs`.
    int offsetAt(qint64 utcMs) const;
    // The instant `utcMs`, showing local wall-clock time.
    QDateTime fromMSecsSinceEpoch(qint64 utcMs) const;
    // `moment` showing local wall-clock time; an invalid one as it is.
    QDateTime local(const QDateTime& moment) const;
    // The local wall-clock `time` of `date` as an instant. A time the clocks
    // skip is moved on by the gap; of a time shown twice, the first.
    // Invalid when the date or time is.
    QDateTime dateTime(QDate date, QTime time) const;
    QDateTime now() const;

private:
    struct Table;
    std::shared_ptr<const Table> m_table;
};
