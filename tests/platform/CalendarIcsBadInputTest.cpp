#include "PlatformTestFiles.h"

#include "platform/IcsCalendarStore.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace PlatformTestFiles;

namespace {

QString writeCalendar(const QString& name, const QByteArray& bytes)
{
    const QString path = calendarFolder() + "/" + name;
    rewriteInPlace(path, bytes);
    return path;
}

QByteArrayList asideCopies(const QString& nameFilter)
{
    return PlatformTestFiles::asideCopies(calendarFolder(), nameFilter);
}

// Events another program wrote: one good with unknown properties, one without
// an identifier, one without a start, one with broken lines, one with huge
// notes, and a to-do.
QByteArray messyCalendar(const QString& hugeNotes)
{
    return ics({
        "BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Another Program//EN", "X-WR-CALNAME:拍摄档期",
        "X-UNKNOWN-CAL-PROP:keep me",
        "BEGIN:VEVENT", "UID:good-1", "SUMMARY:好事件", "DTSTART;TZID=Asia/Shanghai:20270301T100000",
        "DTEND;TZID=Asia/Shanghai:20270301T120000", "X-FOO-BAR:unknown value",
        "ATTENDEE;CN=Someone:mailto:someone@example.invalid",
        "BEGIN:VALARM", "ACTION:AUDIO", "TRIGGER:-PT15M", "END:VALARM", "END:VEVENT",
        "BEGIN:VEVENT", "SUMMARY:没有UID", "DTSTART:20270302T020000Z", "END:VEVENT",
        "BEGIN:VEVENT", "UID:no-start", "SUMMARY:没有开始时间", "END:VEVENT",
        "BEGIN:VEVENT", "UID:broken-lines", "this line is broken", "DTSTART:20270303T020000Z", "DTEND:not a date",
        "SUMMARY:有坏行", "END:VEVENT",
        "BEGIN:VEVENT", "UID:huge", "DTSTART:20270304T020000Z", "DESCRIPTION:" + hugeNotes, "END:VEVENT",
        "BEGIN:VTODO", "UID:todo-1", "SUMMARY:待办", "END:VTODO",
        "END:VCALENDAR",
    });
}

}

TEST(CalendarIcsBadInputTest, AMessyFileIsReadAsFarAsItGoesAndNothingOfItIsLost)
{
    const QString huge = QString("长").repeated(1 << 20);
    const QByteArray original = messyCalendar(huge);
    const QString path = writeCalendar("MESSY.ics", original);

    QString generatedId;
    {
        IcsCalendarStore store(calendarFolder());
        ASSERT_EQ(store.calendars().size(), 1);
        EXPECT_EQ(store.calendars().first().title, "拍摄档期");
        const auto good = store.event("good-1");
        ASSERT_TRUE(good);
        EXPECT_EQ(good->startDate, at(2027, 3, 1, 10));
        EXPECT_EQ(good->endDate, at(2027, 3, 1, 12));
        ASSERT_EQ(good->alarms.size(), 1);
        EXPECT_EQ(good->alarms[0].relativeOffset, -900);
        EXPECT_FALSE(good->alarms[0].addedByApp);
        EXPECT_FALSE(store.event("no-start")); // kept in the file, not listed
        const auto broken = store.event("broken-lines");
        ASSERT_TRUE(broken);
        EXPECT_EQ(broken->title, "有坏行");
        EXPECT_EQ(broken->startDate, at(2027, 3, 3, 10));
        EXPECT_EQ(store.event("huge")->notes->size(), huge.size());

        const QList<CalendarEvent> all = store.events(at(2027, 1, 1, 0), at(2028, 1, 1, 0));
        ASSERT_EQ(all.size(), 4);
        for (const CalendarEvent& e : all) {
            if (e.title == "没有UID")
                generatedId = e.identifier;
        }
        ASSERT_FALSE(generatedId.isEmpty());
        EXPECT_EQ(read(path), original); // reading writes nothing
    }

    IcsCalendarStore store(calendarFolder());
    EXPECT_TRUE(store.event(generatedId)); // the same identifier at every start

    // Editing an event touches only what the app owns.
    CalendarEvent good = *store.event("good-1");
    good.title = "改名";
    good.addAlarm(CalendarAlarm::atDate(at(2027, 2, 28, 10)));
    ASSERT_TRUE(store.saveEvent(good));

    const QByteArray rewritten = read(path);
    for (const char* kept : {"X-UNKNOWN-CAL-PROP:keep me", "X-FOO-BAR:unknown value", "ATTENDEE;CN=Someone",
                             "ACTION:AUDIO", "TRIGGER:-PT15M", "UID:no-start", "BEGIN:VTODO", "SUMMARY:改名"})
        EXPECT_TRUE(rewritten.contains(kept)) << kept;
    EXPECT_TRUE(rewritten.contains(("UID:" + generatedId).toUtf8()));
    EXPECT_FALSE(rewritten.contains("X-LIC-ERROR"));
    EXPECT_EQ(IcsCalendarStore(calendarFolder()).event("huge")->notes->size(), huge.size());
    // Lines libical cannot read are written back as they were.
    EXPECT_TRUE(rewritten.contains("\r\nthis line is broken\r\nDTSTART:20270303T020000Z\r\nDTEND:not a date\r\n"));
    EXPECT_TRUE(asideCopies("MESSY.ics.*").isEmpty());
}

TEST(CalendarIcsBadInputTest, AFileWithoutACalendarIsKeptAsideUntouched)
{
    const QByteArray garbage = QByteArray("this is not a calendar\n\x01\x02\xff\xfe", 28) + QByteArray(4096, '\0');
    const QString path = writeCalendar("BROKEN.ics", garbage);
    IcsCalendarStore store(calendarFolder());
    EXPECT_TRUE(store.calendars().isEmpty());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(asideCopies("BROKEN.ics.corrupt-*"), QByteArrayList{garbage});
    shootCalendar(store);
    EXPECT_EQ(asideCopies("BROKEN.ics.corrupt-*"), QByteArrayList{garbage});
}

TEST(CalendarIcsBadInputTest, ATruncatedFileStillGivesTheEventsBeforeTheCut)
{
    writeCalendar("CUT.ics", ics({"BEGIN:VCALENDAR", "VERSION:2.0", "BEGIN:VEVENT", "UID:first",
                                  "DTSTART:20270101T020000Z", "SUMMARY:完整", "END:VEVENT", "BEGIN:VEVENT",
                                  "UID:second", "DTSTART:2027"}));
    IcsCalendarStore store(calendarFolder());
    ASSERT_EQ(store.calendars().size(), 1);
    EXPECT_EQ(store.calendars().first().title, "CUT"); // no name in the file
    EXPECT_TRUE(store.event("first"));
}

TEST(CalendarIcsBadInputTest, AFileOverTheSizeBoundIsNeitherReadNorTouched)
{
    QByteArray big = ics({"BEGIN:VCALENDAR", "VERSION:2.0", "X-WR-CALNAME:太大"});
    big += "X-PAD:" + QByteArray(IcsCalendarStore::kMaxFileSize, 'x') + "\r\nEND:VCALENDAR\r\n";
    const QString path = writeCalendar("BIG.ics", big);
    const QDateTime mtime = QFileInfo(path).lastModified();
    big.clear();
    IcsCalendarStore store(calendarFolder());
    EXPECT_TRUE(store.calendars().isEmpty());
    EXPECT_EQ(QFileInfo(path).lastModified(), mtime);
    EXPECT_EQ(entries(calendarFolder()), QStringList{"BIG.ics"});
}

TEST(CalendarIcsBadInputTest, AFileRuinedFromOutsideIsPutAsideAfterASecondLook)
{
    IcsCalendarStore store(calendarFolder());
    const CalendarInfo cal = shootCalendar(store);
    QSignalSpy spy(&store, &CalendarStore::changed);
    const QString path = store.filePath(cal.identifier);
    replaceByRename(path, "garbage");
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() > 0; }, 3000));
    EXPECT_FALSE(store.calendar(cal.identifier));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(asideCopies("*.corrupt-*"), QByteArrayList{"garbage"});
}

TEST(CalendarIcsBadInputTest, AStrayNulByteHidesNoEventAndTheOriginalIsKept)
{
    QByteArray bytes = ics({"BEGIN:VCALENDAR", "VERSION:2.0", "X-WR-CALNAME:拍摄档期", "BEGIN:VEVENT", "UID:before",
                            "DTSTART:20270101T020000Z", "SUMMARY:之前", "END:VEVENT"});
    bytes += QByteArray(3, '\0');
    bytes += ics({"BEGIN:VEVENT", "UID:after", "DTSTART:20270102T020000Z", "SUMMARY:之后", "END:VEVENT",
                  "END:VCALENDAR"});
    const QString path = writeCalendar("NUL.ics", bytes);
    IcsCalendarStore store(calendarFolder());
    ASSERT_EQ(store.calendars().size(), 1);
    EXPECT_EQ(store.calendars().first().title, "拍摄档期");
    EXPECT_TRUE(store.event("before"));
    ASSERT_TRUE(store.event("after"));
    EXPECT_EQ(store.event("after")->title, "之后");
    EXPECT_EQ(read(path), bytes);

    retitle(store, "before", "改过");
    EXPECT_TRUE(IcsCalendarStore(calendarFolder()).event("after"));
    EXPECT_EQ(asideCopies("NUL.ics.broken-*"), QByteArrayList{bytes});
}

TEST(CalendarIcsBadInputTest, AnUnfoldedLineOfMegabytesIsReadWhole)
{
    // One physical line: libical alone takes minutes over this.
    const QString huge = QString("长a").repeated(3 << 20);
    writeCalendar("LONG.ics", ics({"BEGIN:VCALENDAR", "VERSION:2.0", "BEGIN:VEVENT", "UID:long",
                                   "DTSTART:20270304T020000Z", "DESCRIPTION:" + huge, "SUMMARY:长备注", "END:VEVENT",
                                   "END:VCALENDAR"}));
    IcsCalendarStore store(calendarFolder());
    const auto e = store.event("long");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->title, "长备注");
    ASSERT_TRUE(e->notes);
    EXPECT_TRUE(*e->notes == huge);
    EXPECT_TRUE(asideCopies("*.broken-*").isEmpty());
}

TEST(CalendarIcsBadInputTest, SeveralDocumentsInOneFileKeepEverythingAcrossARewrite)
{
    const QByteArray bytes = ics({"BEGIN:VCALENDAR", "VERSION:2.0", "X-WR-CALNAME:拍摄档期", "BEGIN:VEVENT",
                                  "UID:one", "DTSTART:20270101T020000Z", "SUMMARY:一", "END:VEVENT", "END:VCALENDAR",
                                  "BEGIN:VCALENDAR", "VERSION:2.0", "BEGIN:VTIMEZONE", "TZID:Photographer Time",
                                  "BEGIN:STANDARD", "DTSTART:16010101T000000", "TZOFFSETFROM:+0900",
                                  "TZOFFSETTO:+0900", "END:STANDARD", "END:VTIMEZONE", "BEGIN:VEVENT", "UID:two",
                                  "DTSTART;TZID=Photographer Time:20270102T100000", "SUMMARY:二", "END:VEVENT",
                                  "BEGIN:VTODO", "UID:todo", "SUMMARY:待办", "END:VTODO", "END:VCALENDAR"});
    const QString path = writeCalendar("TWO.ics", bytes);
    const QDateTime twoStarts(QDate(2027, 1, 2), QTime(1, 0), Qt::UTC);
    IcsCalendarStore store(calendarFolder());
    ASSERT_EQ(store.calendars().size(), 1);
    ASSERT_TRUE(store.event("two"));
    EXPECT_EQ(store.event("two")->startDate, twoStarts);

    retitle(store, "one", "改过");
    const QByteArray rewritten = read(path);
    EXPECT_TRUE(rewritten.contains("BEGIN:VTODO"));
    EXPECT_TRUE(rewritten.contains("TZID:Photographer Time"));
    IcsCalendarStore reopened(calendarFolder());
    ASSERT_TRUE(reopened.event("two"));
    EXPECT_EQ(reopened.event("two")->startDate, twoStarts);
    EXPECT_EQ(asideCopies("TWO.ics.broken-*"), QByteArrayList{bytes});
}
