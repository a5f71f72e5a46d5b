// Times opening a calendar folder holding one file of 5,000 events written by
// another program (time zones, recurrences, attendees, alarms, unknown
// properties), then one added event with its rewrite. Prints one
// "name: value" line per figure; the load figure is the median of 7 runs.

#include "platform/IcsCalendarStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kEvents = 5000;

QByteArray calendarText()
{
    QByteArray out = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//EN\r\nX-WR-CALNAME:Bench\r\n"
                     "BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\n"
                     "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nTZNAME:EDT\r\n"
                     "DTSTART:19700308T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nEND:DAYLIGHT\r\n"
                     "BEGIN:STANDARD\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nTZNAME:EST\r\n"
                     "DTSTART:19701101T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nEND:STANDARD\r\n"
                     "END:VTIMEZONE\r\n";
    for (int i = 0; i < kEvents; ++i) {
        const QByteArray n = QByteArray::number(i);
        const QByteArray day = QDate(2026, 1, 1).addDays(i % 700).toString("yyyyMMdd").toLatin1();
        out += "BEGIN:VEVENT\r\nUID:bench-" + n + "@example.invalid\r\nDTSTAMP:20260101T000000Z\r\n";
        if (i % 3 == 0)
            out += "DTSTART;TZID=America/New_York:" + day + "T090000\r\nDTEND;TZID=America/New_York:" + day
                + "T100000\r\nRRULE:FREQ=WEEKLY;COUNT=10\r\nEXDATE;TZID=America/New_York:" + day + "T090000\r\n";
        else
            out += "DTSTART:" + day + "T020000Z\r\nDTEND:" + day + "T040000Z\r\n";
        out += "SUMMARY;LANGUAGE=zh:客户" + n + " - 婚纱套餐\r\nLOCATION:西湖 " + n + "\r\n"
            "DESCRIPTION:客户" + n + "-13800000000-定金500\\n外景\r\n"
            "ATTENDEE;CN=Guest " + n + ";ROLE=REQ-PARTICIPANT:mailto:guest" + n + "@example.invalid\r\n"
            "X-VENDOR-FIELD;FOO=bar:value " + n + "\r\n"
            "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:提醒\r\nTRIGGER:-PT30M\r\nEND:VALARM\r\nEND:VEVENT\r\n";
    }
    return out + "END:VCALENDAR\r\n";
}

double msSince(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.path() + "/calendars";
    QDir().mkpath(folder);
    const QByteArray bytes = calendarText();
    {
        QFile f(folder + "/BENCH.ics");
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    std::printf("file_bytes_%d: %lld\n", kEvents, qint64(bytes.size()));

    std::vector<double> runs;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer t;
        t.start();
        IcsCalendarStore store(folder);
        runs.push_back(msSince(t));
        if (store.events(QDateTime(QDate(2025, 1, 1), QTime(0, 0)), QDateTime(QDate(2029, 1, 1), QTime(0, 0))).size()
            != kEvents)
            std::printf("warning: not every event was read\n");
    }
    std::sort(runs.begin(), runs.end());
    std::printf("load_ms_%d: %.1f\n", kEvents, runs[runs.size() / 2]);

    IcsCalendarStore store(folder);
    CalendarEvent e;
    e.calendarIdentifier = "BENCH";
    e.title = "新订单";
    e.startDate = QDateTime(QDate(2027, 5, 1), QTime(10, 0));
    e.endDate = e.startDate.addSecs(7200);
    QElapsedTimer t;
    t.start();
    store.saveEvent(e);
    std::printf("add_and_write_ms_%d: %.1f\n", kEvents, msSince(t));
    return 0;
}
