#include "TestEnv.h"

#include "platform/LocalTimeConverter.h"
#include "platform/TimeZoneWatcher.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <ctime>

namespace {

void pinZone(const QByteArray& tz)
{
    qputenv("TZ", tz);
    tzset();
    LocalTimeConverter::refresh();
}

qint64 utcMs(int y, int m, int d, int h = 0, int min = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min), Qt::UTC).toMSecsSinceEpoch();
}

// Instants and wall-clock times agree with what the C library gives, on days
// the clocks move by an hour or half an hour, in a zone without changes, and
// in a zone file only the C library is given (a path in TZ).
TEST(LocalTimeConverterTest, AgreesWithTheSystemOverAYear)
{
    const QString copied = TestEnv::root() + "/zone-copy";
    QFile::remove(copied);
    ASSERT_TRUE(QFile::copy("/usr/share/zoneinfo/America/Santiago", copied));
    const QList<QByteArray> zones{"America/New_York", "Australia/Lord_Howe", "Asia/Shanghai", "UTC",
                                  ":" + QFile::encodeName(copied)};
    for (const QByteArray& zone : zones) {
        pinZone(zone);
        const LocalTimeConverter clock = LocalTimeConverter::current();
        const qint64 from = utcMs(2026, 1, 1);
        int instants = 0, wallTimes = 0, checked = 0;
        for (qint64 ms = from; ms < from + 366 * 86400000LL; ms += 7 * 60 * 1000 + 1013) {
            const QDateTime system = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
            const QDateTime mine = clock.fromMSecsSinceEpoch(ms);
            instants += mine.date() != system.date() || mine.time() != system.time() || mine.toMSecsSinceEpoch() != ms;
            // Back from the wall clock, away from the hours the clocks move.
            const int offset = system.offsetFromUtc();
            const bool steady = QDateTime::fromMSecsSinceEpoch(ms - 3 * 3600000, Qt::LocalTime).offsetFromUtc() == offset
                && QDateTime::fromMSecsSinceEpoch(ms + 3 * 3600000, Qt::LocalTime).offsetFromUtc() == offset;
            if (steady) {
                const QDateTime back = clock.dateTime(system.date(), system.time());
                ++checked;
                wallTimes += back.toMSecsSinceEpoch() != ms;
            }
        }
        EXPECT_EQ(instants, 0) << zone.constData();
        EXPECT_EQ(wallTimes, 0) << zone.constData();
        EXPECT_GT(checked, 70000) << zone.constData();
    }
}

// Wall-clock times the clocks skip or show twice: New York, spring 2026
// (02:00 -> 03:00 on 8 March) and autumn (02:00 -> 01:00 on 1 November).
TEST(LocalTimeConverterTest, SkippedTimesMoveOnAndRepeatedTimesTakeTheFirst)
{
    pinZone("America/New_York");
    const LocalTimeConverter clock = LocalTimeConverter::current();
    struct Case {
        QDate date;
        QTime time;
        qint64 utc;
        QTime shown;
    };
    const QList<Case> cases{
        {QDate(2026, 3, 8), QTime(1, 59), utcMs(2026, 3, 8, 6, 59), QTime(1, 59)},
        {QDate(2026, 3, 8), QTime(2, 30), utcMs(2026, 3, 8, 7, 30), QTime(3, 30)},
        {QDate(2026, 3, 8), QTime(3, 0), utcMs(2026, 3, 8, 7, 0), QTime(3, 0)},
        {QDate(2026, 11, 1), QTime(1, 30), utcMs(2026, 11, 1, 5, 30), QTime(1, 30)},
        {QDate(2026, 11, 1), QTime(2, 0), utcMs(2026, 11, 1, 7, 0), QTime(2, 0)},
    };
    for (const Case& c : cases) {
        const QDateTime made = clock.dateTime(c.date, c.time);
        EXPECT_EQ(made.toMSecsSinceEpoch(), c.utc) << c.time.toString().toStdString();
        EXPECT_EQ(made.time(), c.shown) << c.time.toString().toStdString();
    }
    EXPECT_FALSE(clock.dateTime(QDate(2026, 2, 30), QTime(9, 0)).isValid());
    EXPECT_FALSE(clock.dateTime(QDate(2026, 2, 1), QTime(25, 0)).isValid());
    EXPECT_FALSE(clock.local(QDateTime()).isValid());
}

// The zone is read again only when the watcher saw it change.
TEST(LocalTimeConverterTest, FollowsAZoneChangeOnceTheWatcherSeesIt)
{
    pinZone("Asia/Shanghai");
    TimeZoneWatcher& watcher = TimeZoneWatcher::shared();
    watcher.check();
    const qint64 at = utcMs(2026, 7, 1, 12);
    ASSERT_EQ(LocalTimeConverter::current().offsetAt(at), 8 * 3600);

    qputenv("TZ", "Europe/Berlin");
    EXPECT_EQ(LocalTimeConverter::current().offsetAt(at), 8 * 3600) << "not looked at yet";
    EXPECT_TRUE(watcher.check());
    EXPECT_EQ(LocalTimeConverter::current().offsetAt(at), 2 * 3600);
    EXPECT_EQ(LocalTimeConverter::current().dateTime(QDate(2026, 7, 1), QTime(14, 0)).toMSecsSinceEpoch(), at);
}

}
