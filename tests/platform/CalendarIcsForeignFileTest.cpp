#include "PlatformTestFiles.h"

#include "platform/IcsCalendarStore.h"
#include "platform/Log.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace PlatformTestFiles;

namespace {

// Calendar files as other programs write them, opened by the store.
class CalendarIcsForeignFileTest : public ::testing::Test
{
protected:
    QString path = calendarFolder() + "/FOREIGN.ics";

    QByteArray open(const QStringList& components)
    {
        const QByteArray bytes = ics(QStringList{"BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Other//EN",
                                                 "X-WR-CALNAME:外来"}
                                     + components + QStringList{"END:VCALENDAR"});
        rewriteInPlace(path, bytes);
        store = std::make_unique<IcsCalendarStore>(calendarFolder());
        return bytes;
    }
    void addEvent()
    {
        CalendarEvent e = makeEvent(*store->calendar("FOREIGN"), "新订单", at(2027, 5, 1, 10));
        ASSERT_TRUE(store->saveEvent(e));
    }

    std::unique_ptr<IcsCalendarStore> store;
};

}

TEST_F(CalendarIcsForeignFileTest, UnknownComponentsAndParametersSurviveRewrites)
{
    const QStringList known = {
        "BEGIN:VEVENT", "UID:known", "DTSTART:20270301T020000Z", "SUMMARY;FOO=bar;NEWLINE=:带参数",
        "ATTENDEE;MEMBER=\"mailto:g1@example.invalid\",\"mailto:g2@example.invalid\";DELEGATED-TO=\"mailto:a@"
        "example.invalid\",\"mailto:b@example.invalid\";DELEGATED-FROM=\"mailto:c@example.invalid\",\"mailto:d@"
        "example.invalid\":mailto:me@example.invalid",
        "BEGIN:X-VENDOR-NOTE", "X-TEXT:inside", "END:X-VENDOR-NOTE",
        "BEGIN:VLOCATION", "UID:loc-1", "NAME:影棚", "END:VLOCATION", "END:VEVENT"};
    const QStringList unknown = {"BEGIN:UNKNOWN", "FOO:bar", "END:UNKNOWN"};
    const QByteArray original = open(known + unknown);

    addEvent();
    EXPECT_TRUE(read(path).contains(ics(known + unknown))) << read(path).constData();

    retitle(*store, "known", "改名");
    const QByteArray edited = read(path);
    for (const QString& line : known + unknown) {
        if (!line.startsWith("SUMMARY"))
            EXPECT_TRUE(edited.contains(line.toUtf8() + "\r\n")) << qPrintable(line);
    }
    EXPECT_EQ(IcsCalendarStore(calendarFolder()).event("known")->title, "改名");
    EXPECT_TRUE(asideCopies(calendarFolder(), "FOREIGN.ics.*").isEmpty()); // nothing was lost to keep aside
}

TEST_F(CalendarIcsForeignFileTest, ARecurringEventKeepsItsZoneExceptionsAndOverrides)
{
    const QStringList zone = {
        "BEGIN:VTIMEZONE", "TZID:America/New_York", "BEGIN:DAYLIGHT", "TZOFFSETFROM:-0500", "TZOFFSETTO:-0400",
        "DTSTART:19700308T020000", "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU", "END:DAYLIGHT", "BEGIN:STANDARD",
        "TZOFFSETFROM:-0400", "TZOFFSETTO:-0500", "DTSTART:19701101T020000", "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU",
        "END:STANDARD", "END:VTIMEZONE"};
    const QStringList times = {"DTSTART;TZID=America/New_York:20261015T090000",
                               "DTEND;TZID=America/New_York:20261015T100000", "RRULE:FREQ=WEEKLY;COUNT=8",
                               "EXDATE;TZID=America/New_York:20261029T090000"};
    const QStringList override = {"BEGIN:VEVENT", "UID:weekly", "RECURRENCE-ID;TZID=America/New_York:20261112T090000",
                                  "DTSTART;TZID=America/New_York:20261112T110000",
                                  "DTEND;TZID=America/New_York:20261112T120000", "SUMMARY:改到11点", "END:VEVENT"};
    open(zone + QStringList{"BEGIN:VEVENT", "UID:weekly", "SUMMARY:周会"} + times + QStringList{"END:VEVENT"}
         + override + QStringList{"BEGIN:VEVENT", "UID:day", "DTSTART;VALUE=DATE:20261020", "END:VEVENT"});

    retitle(*store, "weekly", "每周拍摄");
    QByteArray bytes = read(path);
    for (const QString& line : zone + times)
        EXPECT_TRUE(bytes.contains(line.toUtf8() + "\r\n")) << qPrintable(line);
    EXPECT_TRUE(bytes.contains(ics(override)));

    // Moved times are written in the event's own zone; a day stays a day.
    CalendarEvent weekly = *store->event("weekly");
    weekly.startDate = QDateTime(QDate(2026, 10, 15), QTime(14, 0), Qt::UTC);
    weekly.endDate = weekly.startDate.addSecs(5400);
    ASSERT_TRUE(store->saveEvent(weekly));
    CalendarEvent day = *store->event("day");
    day.startDate = at(2026, 10, 21, 0);
    day.endDate = at(2026, 10, 22, 0);
    ASSERT_TRUE(store->saveEvent(day));
    bytes = read(path);
    for (const char* line : {"DTSTART;TZID=America/New_York:20261015T100000\r\n",
                             "DTEND;TZID=America/New_York:20261015T113000\r\n", "DTSTART;VALUE=DATE:20261021\r\n"})
        EXPECT_TRUE(bytes.contains(line)) << line;
    EXPECT_EQ(IcsCalendarStore(calendarFolder()).event("weekly")->startDate, weekly.startDate);
}

TEST_F(CalendarIcsForeignFileTest, AZoneNameWithAVendorPrefixIsReadAsItsZone)
{
    QStringList logLines;
    const auto previous = Log::setSink([&](const QString& line) { logLines << line; });
    open({"BEGIN:VEVENT", "UID:prefixed", "DTSTART;TZID=/mozilla.org/20070129_1/America/New_York:20260310T140000",
          "DURATION:PT1H", "END:VEVENT", "BEGIN:VEVENT", "UID:nowhere", "DTSTART;TZID=Nowhere Time:20260310T140000",
          "END:VEVENT", "BEGIN:VEVENT", "UID:nowhere-2", "DTSTART;TZID=Nowhere Time:20260311T140000", "END:VEVENT"});
    Log::setSink(previous);
    const QDateTime ny = QDateTime(QDate(2026, 3, 10), QTime(14, 0), QTimeZone(-4 * 3600));
    EXPECT_EQ(store->event("prefixed")->startDate, ny);
    EXPECT_EQ(store->event("prefixed")->endDate, ny.addSecs(3600));
    EXPECT_EQ(store->event("nowhere")->startDate, at(2026, 3, 10, 14)); // floating: the local wall clock
    EXPECT_EQ(logLines.filter("Nowhere Time").size(), 1) << qPrintable(logLines.join('\n'));
}
