#include "PlatformTestFiles.h"

#include "platform/IcsCalendarStore.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>
#include <libical/ical.h>

#include <functional>

using namespace PlatformTestFiles;

namespace {

class CalendarIcsStoreTest : public ::testing::Test
{
protected:
    IcsCalendarStore store{calendarFolder()};
    CalendarInfo cal = shootCalendar(store);

    CalendarEvent saved(const QString& title, const QDateTime& start)
    {
        CalendarEvent e = makeEvent(cal, title, start);
        EXPECT_TRUE(store.saveEvent(e));
        return e;
    }
};

}

TEST_F(CalendarIcsStoreTest, AnEventWithTwoAlarmsSurvivesAReopenAndItsFilePassesLibical)
{
    CalendarEvent e = makeEvent(cal, "张三 - 婚纱套餐", at(2027, 3, 10, 14));
    e.notes = "张三-555-定金500\n外景, 带; 反斜杠\\" + QString("很长的备注").repeated(40); // long enough to fold
    e.location = "西湖";
    e.addAlarm(CalendarAlarm::atDate(at(2027, 3, 3, 10)));
    e.addAlarm(CalendarAlarm::atDate(at(2027, 3, 9, 10), false));
    CalendarEvent expected = e;
    QString error;
    ASSERT_TRUE(store.saveEvent(e, true, &error)) << error.toStdString();
    ASSERT_FALSE(e.identifier.isEmpty());
    expected.identifier = e.identifier;

    IcsCalendarStore reopened(calendarFolder());
    ASSERT_EQ(reopened.calendars().size(), 1);
    const CalendarInfo got = reopened.calendars().first();
    EXPECT_EQ(got.identifier, cal.identifier);
    EXPECT_EQ(got.title, "拍摄档期");
    EXPECT_EQ(got.color, QColor("#CD5B2B"));
    EXPECT_EQ(got.source.type, CalendarSourceType::Local);
    EXPECT_EQ(reopened.defaultCalendarForNewEvents()->identifier, cal.identifier);
    ASSERT_TRUE(reopened.event(e.identifier));
    EXPECT_EQ(*reopened.event(e.identifier), expected); // every field, both alarms and who added them

    // The bytes: one file named after the calendar, UTC times, absolute
    // triggers, our alarm marker, folded CRLF lines.
    const QByteArray bytes = read(calendarFolder() + "/" + cal.identifier + ".ics");
    EXPECT_TRUE(bytes.contains("UID:" + e.identifier.toUtf8()));
    for (const char* text : {"X-WR-CALNAME:拍摄档期", "X-TESSARY-COLOR:#CD5B2B", "DTSTART:20270310T060000Z",
                             "TRIGGER;VALUE=DATE-TIME:20270303T020000Z"})
        EXPECT_TRUE(bytes.contains(text)) << text;
    EXPECT_EQ(bytes.count("X-TESSARY-ALARM:TRUE"), 1);
    for (const QByteArray& line : bytes.split('\n')) {
        EXPECT_LE(line.size(), 76) << line.constData();
        if (!line.isEmpty())
            EXPECT_TRUE(line.endsWith('\r'));
    }

    // A parse independent of the store's own reader, with libical's validator.
    icalcomponent* root = icalparser_parse_string(bytes.constData());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(icalcomponent_isa(root), ICAL_VCALENDAR_COMPONENT);
    EXPECT_EQ(icalrestriction_check(root), 1);
    EXPECT_EQ(icalcomponent_count_errors(root), 0) << icalcomponent_as_ical_string(root);
    icalcomponent_free(root);
}

TEST_F(CalendarIcsStoreTest, RangeQueriesCountOverlapsAndExcludeTouchingEdges)
{
    const CalendarInfo other = shootCalendar(store, "私事");
    saved("拍摄", at(2027, 5, 1, 10));
    CalendarEvent instant = makeEvent(cal, "瞬间", at(2027, 5, 1, 13), 0);
    CalendarEvent elsewhere = makeEvent(other, "别处", at(2027, 5, 1, 10));
    CalendarEvent allDay = makeEvent(cal, "全天", at(2027, 5, 2, 0), 24);
    allDay.allDay = true;
    for (CalendarEvent* e : {&instant, &elsewhere, &allDay})
        ASSERT_TRUE(store.saveEvent(*e));

    auto titles = [&](const QDateTime& a, const QDateTime& b) {
        QStringList out;
        for (const CalendarEvent& e : store.events(a, b, {cal.identifier}))
            out << e.title;
        return out;
    };
    EXPECT_EQ(titles(at(2027, 5, 1, 12), at(2027, 5, 1, 12, 30)), QStringList());       // starts at the end
    EXPECT_EQ(titles(at(2027, 5, 1, 9), at(2027, 5, 1, 10)), QStringList());            // ends at the start
    EXPECT_EQ(titles(at(2027, 5, 1, 11, 59), at(2027, 5, 1, 13)), QStringList{"拍摄"}); // instant at the end
    EXPECT_EQ(titles(at(2027, 5, 1, 13), at(2027, 5, 1, 14)), QStringList{"瞬间"});     // instant at the start
    EXPECT_EQ(titles(at(2027, 5, 2, 23), at(2027, 5, 3, 1)), QStringList{"全天"});
    EXPECT_EQ(titles(at(2027, 5, 3, 0), at(2027, 5, 4, 0)), QStringList());
    EXPECT_EQ(store.events(at(2027, 5, 1, 0), at(2027, 5, 2, 0)).size(), 3); // every calendar
}

TEST_F(CalendarIcsStoreTest, RemovedEventsLeaveTheFileAndMovedOnesKeepTheirIdentifier)
{
    const CalendarEvent keep = saved("留下", at(2027, 6, 1, 10));
    const CalendarEvent drop = saved("删除", at(2027, 6, 2, 10));
    ASSERT_TRUE(store.removeEvent(drop.identifier));
    EXPECT_FALSE(store.event(drop.identifier));
    QString error;
    EXPECT_FALSE(store.removeEvent(drop.identifier, true, &error));
    EXPECT_FALSE(error.isEmpty());
    const QByteArray bytes = read(store.filePath(cal.identifier));
    EXPECT_FALSE(bytes.contains(drop.identifier.toUtf8()));
    EXPECT_TRUE(bytes.contains(keep.identifier.toUtf8()));

    const CalendarInfo other = shootCalendar(store, "备用");
    CalendarEvent moved = saved("搬家", at(2027, 10, 1, 10));
    const QString id = moved.identifier;
    moved.calendarIdentifier = other.identifier;
    ASSERT_TRUE(store.saveEvent(moved));

    IcsCalendarStore reopened(calendarFolder());
    EXPECT_TRUE(reopened.event(keep.identifier));
    ASSERT_TRUE(reopened.event(id));
    EXPECT_EQ(reopened.event(id)->calendarIdentifier, other.identifier);
    EXPECT_EQ(reopened.events(at(2027, 10, 1, 0), at(2027, 10, 2, 0)).size(), 1);
}

TEST_F(CalendarIcsStoreTest, DeferredChangesAreWrittenOnceOnCommitOrDroppedOnReset)
{
    const int before = store.writeCount();
    const QByteArray bytesBefore = read(store.filePath(cal.identifier));
    for (int i = 0; i < 200; ++i) {
        CalendarEvent e = makeEvent(cal, QString("订单%1").arg(i), at(2027, 1, 1, 8).addDays(i));
        e.addAlarm(CalendarAlarm::atDate(e.startDate.addDays(-1)));
        ASSERT_TRUE(store.saveEvent(e, false));
    }
    EXPECT_EQ(store.writeCount(), before);
    EXPECT_EQ(read(store.filePath(cal.identifier)), bytesBefore);
    EXPECT_EQ(store.events(at(2027, 1, 1, 0), at(2028, 1, 1, 0)).size(), 200); // reads see the batch
    ASSERT_TRUE(store.commit());
    EXPECT_EQ(store.writeCount(), before + 1);
    EXPECT_EQ(IcsCalendarStore(calendarFolder()).events(at(2027, 1, 1, 0), at(2028, 1, 1, 0)).size(), 200);

    const CalendarEvent kept = saved("已保存", at(2028, 2, 1, 10));
    CalendarEvent pending = makeEvent(cal, "未提交", at(2028, 2, 2, 10));
    ASSERT_TRUE(store.saveEvent(pending, false));
    ASSERT_TRUE(store.removeEvent(kept.identifier, false));
    store.reset();
    EXPECT_TRUE(store.event(kept.identifier));
    EXPECT_FALSE(store.event(pending.identifier));
}

TEST_F(CalendarIcsStoreTest, TheWrittenFileParsesWithPythonsIcalendar)
{
    QProcess probe;
    probe.start("/usr/bin/python3", {"-c", "import icalendar"});
    if (!probe.waitForFinished(10000) || probe.exitCode() != 0)
        GTEST_SKIP() << "python3-icalendar is not installed";

    CalendarEvent e = makeEvent(cal, "王五 - 全家福", at(2027, 8, 8, 15));
    e.notes = "王五-无电话-定金0";
    e.addAlarm(CalendarAlarm::atDate(at(2027, 8, 7, 10)));
    ASSERT_TRUE(store.saveEvent(e));

    const char* script = R"(
import sys, icalendar
cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())
for ev in cal.walk('VEVENT'):
    alarms = ev.walk('VALARM')
    print(str(ev['UID']), str(ev['SUMMARY']), ev.decoded('DTSTART').isoformat(),
          ev.decoded('DTEND').isoformat(), alarms[0].decoded('TRIGGER').isoformat(),
          str(alarms[0]['X-TESSARY-ALARM']), sep='|')
print(str(cal['X-WR-CALNAME']))
)";
    QProcess py;
    py.start("/usr/bin/python3", {"-c", script, store.filePath(cal.identifier)});
    ASSERT_TRUE(py.waitForFinished(20000));
    ASSERT_EQ(py.exitCode(), 0) << py.readAllStandardError().constData();
    const QStringList lines = QString::fromUtf8(py.readAllStandardOutput()).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], e.identifier + "|王五 - 全家福|2027-08-08T07:00:00+00:00|2027-08-08T09:00:00+00:00|"
                                       "2027-08-07T02:00:00+00:00|TRUE");
    EXPECT_EQ(lines[1], "拍摄档期");
}

TEST_F(CalendarIcsStoreTest, OutsideEditsRaiseTheChangeSignalOnceAndOwnWritesNone)
{
    QSignalSpy spy(&store, &CalendarStore::changed);
    const CalendarInfo mine = shootCalendar(store, "自己的");
    CalendarEvent own = makeEvent(mine, "自己写的", at(2027, 7, 2, 10));
    ASSERT_TRUE(store.saveEvent(own));
    own.title = "改过";
    ASSERT_TRUE(store.saveEvent(own));
    ASSERT_TRUE(store.removeEvent(own.identifier));
    QTest::qWait(IcsCalendarStore::kCoalesceMs * 3);
    EXPECT_EQ(spy.count(), 0);

    for (bool holdOld : {false, true}) {
        SCOPED_TRACE(holdOld ? "old file held open by another program" : "old file let go");
        const CalendarEvent e = saved("原标题", at(2027, 7, 1, 10));
        const QString path = store.filePath(cal.identifier);
        QFile holder(path);
        if (holdOld)
            ASSERT_TRUE(holder.open(QIODevice::ReadOnly));
        spy.clear();
        replaceByRename(path, read(path).replace("SUMMARY:原标题", "SUMMARY:外部修改"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() > 0; }, 3000));
        QTest::qWait(IcsCalendarStore::kCoalesceMs * 2);
        EXPECT_EQ(spy.count(), 1);
        EXPECT_EQ(store.event(e.identifier)->title, "外部修改");
        // The file that replaced the old one is watched too.
        rewriteInPlace(path, read(path).replace("SUMMARY:外部修改", "SUMMARY:再次修改"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() > 1; }, 3000));
        EXPECT_EQ(store.event(e.identifier)->title, "再次修改");
    }

    // A calendar file dropped into the folder is a new calendar.
    IcsCalendarStore other(TestEnv::root() + "/elsewhere");
    const CalendarInfo extra = shootCalendar(other, "外来日历");
    spy.clear();
    QFile::copy(other.filePath(extra.identifier), store.filePath(extra.identifier));
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() > 0; }, 3000));
    EXPECT_TRUE(store.calendar(extra.identifier));
}

TEST_F(CalendarIcsStoreTest, AnOutsideEditIsKeptWhenUncommittedChangesAreWritten)
{
    CalendarEvent ours = makeEvent(cal, "我们的", at(2027, 9, 1, 10));
    ASSERT_TRUE(store.saveEvent(ours, false));

    // Another program adds an event before the store has seen the change.
    IcsCalendarStore outside(calendarFolder());
    CalendarEvent theirs = makeEvent(cal, "别人的", at(2027, 9, 2, 10));
    ASSERT_TRUE(outside.saveEvent(theirs));

    QSignalSpy spy(&store, &CalendarStore::changed);
    ASSERT_TRUE(store.commit());
    EXPECT_TRUE(store.event(theirs.identifier));
    IcsCalendarStore reopened(calendarFolder());
    EXPECT_TRUE(reopened.event(ours.identifier));
    EXPECT_TRUE(reopened.event(theirs.identifier));
    // Callers hear of the outside event once.
    QTest::qWait(IcsCalendarStore::kCoalesceMs * 2);
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(CalendarIcsStoreTest, RefusedOrFailedSavesAreReportedAndChangeNothing)
{
    saved("已写入", at(2027, 1, 1, 8));
    CalendarInfo untitled;
    EXPECT_FALSE(store.saveCalendar(untitled));
    EXPECT_EQ(store.calendars().size(), 1);

    const QString path = store.filePath(cal.identifier);
    const std::pair<const char*, std::function<void(CalendarEvent&)>> cases[] = {
        {"unknown calendar", [](CalendarEvent& e) { e.calendarIdentifier = "MISSING"; }},
        {"ends before it starts", [](CalendarEvent& e) { e.endDate = e.startDate.addSecs(-60); }},
        // Something that is no file stands where the calendar file was.
        {"unwritable file", [&](CalendarEvent&) {
             QFile::remove(path);
             QDir().mkpath(path + "/blocker");
         }},
    };
    for (const auto& [name, spoil] : cases) {
        SCOPED_TRACE(name);
        CalendarEvent e = makeEvent(cal, "写不进去", at(2027, 1, 1, 10));
        spoil(e);
        QString error;
        EXPECT_FALSE(store.saveEvent(e, true, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(e.identifier.isEmpty());
        EXPECT_TRUE(store.events(at(2027, 1, 1, 10), at(2027, 1, 2, 0)).isEmpty());
    }
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST_F(CalendarIcsStoreTest, AccessStartsFullAndRequestsAnswerLaterOnTheMainThread)
{
    EXPECT_EQ(store.authorizationStatus(), CalendarAuthorizationStatus::FullAccess);

    store.setAuthorizationStatus(CalendarAuthorizationStatus::NotDetermined);
    store.setAccessRequestAnswer(false, "用户拒绝");
    std::optional<std::pair<bool, QString>> got;
    QObject context;
    store.requestFullAccessToEvents(&context, [&](bool granted, const QString& error) { got = {granted, error}; });
    EXPECT_FALSE(got);
    EXPECT_TRUE(QTest::qWaitFor([&] { return got.has_value(); }, 3000));
    EXPECT_FALSE(got->first);
    EXPECT_EQ(got->second, "用户拒绝");
    EXPECT_EQ(store.authorizationStatus(), CalendarAuthorizationStatus::Denied);

    // A caller that went away is not called back.
    store.setAuthorizationStatus(CalendarAuthorizationStatus::WriteOnly);
    bool called = false;
    auto gone = std::make_unique<QObject>();
    store.requestFullAccessToEvents(gone.get(), [&](bool, const QString&) { called = true; });
    gone.reset();
    QTest::qWait(50);
    EXPECT_FALSE(called);
}

TEST_F(CalendarIcsStoreTest, SavedTimesAreWhatAReadGivesBack)
{
    // Milliseconds cannot be stored: the caller's event shows what was kept.
    CalendarEvent timed = makeEvent(cal, "毫秒", at(2027, 3, 1, 10).addMSecs(750));
    timed.addAlarm(CalendarAlarm::atDate(at(2027, 2, 28, 10).addMSecs(999)));
    ASSERT_TRUE(store.saveEvent(timed));
    EXPECT_EQ(timed.startDate, at(2027, 3, 1, 10));
    EXPECT_EQ(timed.alarms.first().absoluteDate, at(2027, 2, 28, 10));

    // An all-day event given as UTC instants still lands on the user's day.
    CalendarEvent day = makeEvent(cal, "全天", at(2027, 5, 2, 0).toUTC(), 24);
    day.allDay = true;
    ASSERT_TRUE(store.saveEvent(day));
    EXPECT_EQ(day.startDate, at(2027, 5, 2, 0));
    EXPECT_EQ(day.endDate, at(2027, 5, 3, 0));
    EXPECT_TRUE(read(store.filePath(cal.identifier)).contains("DTSTART;VALUE=DATE:20270502"));

    IcsCalendarStore reopened(calendarFolder());
    EXPECT_EQ(*reopened.event(timed.identifier), timed);
    EXPECT_EQ(*reopened.event(day.identifier), day);
    EXPECT_EQ(*store.event(timed.identifier), timed);
}
