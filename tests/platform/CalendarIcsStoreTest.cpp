#include "CalendarTestFiles.h"

#include "platform/IcsCalendarStore.h"
#include "TestEnv.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>
#include <libical/ical.h>

using namespace CalendarTestFiles;

namespace {

QString folder()
{
    return TestEnv::dataHome() + "/Kelvara/calendars";
}

QDateTime at(int y, int mo, int d, int h, int mi = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi));
}

CalendarInfo makeShootCalendar(CalendarStore& store)
{
    CalendarInfo cal;
    cal.title = "拍摄档期";
    cal.color = QColor("#CD5B2B");
    QString error;
    EXPECT_TRUE(store.saveCalendar(cal, true, &error)) << error.toStdString();
    return cal;
}

CalendarEvent makeEvent(const CalendarInfo& cal, const QString& title, const QDateTime& start, int hours = 2)
{
    CalendarEvent e;
    e.calendarIdentifier = cal.identifier;
    e.title = title;
    e.startDate = start;
    e.endDate = start.addSecs(hours * 3600);
    return e;
}

}

TEST(CalendarIcsStoreTest, AnEventWithTwoAlarmsSurvivesAReopenFieldByField)
{
    QString calendarId;
    QString eventId;
    {
        IcsCalendarStore store(folder());
        const CalendarInfo cal = makeShootCalendar(store);
        calendarId = cal.identifier;
        CalendarEvent e = makeEvent(cal, "张三 - 婚纱套餐", at(2027, 3, 10, 14));
        e.notes = "张三-555-定金500\n外景, 带; 反斜杠\\";
        e.location = "西湖";
        e.addAlarm(CalendarAlarm::atDate(at(2027, 3, 3, 10)));
        e.addAlarm(CalendarAlarm::atDate(at(2027, 3, 9, 10), false));
        QString error;
        ASSERT_TRUE(store.saveEvent(e, true, &error)) << error.toStdString();
        eventId = e.identifier;
        EXPECT_FALSE(eventId.isEmpty());
    }
    IcsCalendarStore reopened(folder());
    ASSERT_EQ(reopened.calendars().size(), 1);
    const CalendarInfo cal = reopened.calendars().first();
    EXPECT_EQ(cal.identifier, calendarId);
    EXPECT_EQ(cal.title, "拍摄档期");
    EXPECT_EQ(cal.color, QColor("#CD5B2B"));
    EXPECT_EQ(cal.source.type, CalendarSourceType::Local);
    EXPECT_EQ(reopened.defaultCalendarForNewEvents()->identifier, calendarId);

    const auto e = reopened.event(eventId);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->calendarIdentifier, calendarId);
    EXPECT_EQ(e->title, "张三 - 婚纱套餐");
    EXPECT_EQ(e->notes, QString("张三-555-定金500\n外景, 带; 反斜杠\\"));
    EXPECT_EQ(e->location, QString("西湖"));
    EXPECT_EQ(e->startDate, at(2027, 3, 10, 14));
    EXPECT_EQ(e->endDate, at(2027, 3, 10, 16));
    EXPECT_FALSE(e->allDay);
    ASSERT_EQ(e->alarms.size(), 2);
    EXPECT_EQ(e->alarms[0].absoluteDate, at(2027, 3, 3, 10));
    EXPECT_TRUE(e->alarms[0].addedByApp);
    EXPECT_EQ(e->alarms[1].absoluteDate, at(2027, 3, 9, 10));
    EXPECT_FALSE(e->alarms[1].addedByApp);

    // The bytes on disk: one file named after the calendar, UTC times,
    // absolute triggers, our alarm marker, folded CRLF lines.
    const QByteArray bytes = read(folder() + "/" + calendarId + ".ics");
    EXPECT_TRUE(bytes.contains("UID:" + eventId.toUtf8()));
    EXPECT_TRUE(bytes.contains("X-WR-CALNAME:拍摄档期"));
    EXPECT_TRUE(bytes.contains("X-TESSARY-COLOR:#CD5B2B"));
    EXPECT_TRUE(bytes.contains("DTSTART:20270310T060000Z"));
    EXPECT_TRUE(bytes.contains("TRIGGER;VALUE=DATE-TIME:20270303T020000Z"));
    EXPECT_EQ(bytes.count("X-TESSARY-ALARM:TRUE"), 1);
    for (const QByteArray& line : bytes.split('\n')) {
        EXPECT_LE(line.size(), 76) << line.constData();
        if (!line.isEmpty())
            EXPECT_TRUE(line.endsWith('\r'));
    }
}

TEST(CalendarIcsStoreTest, RangeQueriesCountOverlapsAndExcludeTouchingEdges)
{
    IcsCalendarStore store(folder());
    const CalendarInfo cal = makeShootCalendar(store);
    CalendarInfo other;
    other.title = "私事";
    ASSERT_TRUE(store.saveCalendar(other));

    CalendarEvent shoot = makeEvent(cal, "拍摄", at(2027, 5, 1, 10));
    CalendarEvent instant = makeEvent(cal, "瞬间", at(2027, 5, 1, 13), 0);
    CalendarEvent elsewhere = makeEvent(other, "别处", at(2027, 5, 1, 10));
    CalendarEvent allDay = makeEvent(cal, "全天", at(2027, 5, 2, 0));
    allDay.allDay = true;
    allDay.endDate = at(2027, 5, 3, 0);
    for (CalendarEvent* e : {&shoot, &instant, &elsewhere, &allDay})
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

    IcsCalendarStore reopened(folder());
    const auto day = reopened.event(allDay.identifier);
    ASSERT_TRUE(day);
    EXPECT_TRUE(day->allDay);
    EXPECT_EQ(day->startDate, at(2027, 5, 2, 0));
    EXPECT_EQ(day->endDate, at(2027, 5, 3, 0));
}

TEST(CalendarIcsStoreTest, RemovedEventsAreGoneFromTheStoreAndTheFile)
{
    IcsCalendarStore store(folder());
    const CalendarInfo cal = makeShootCalendar(store);
    CalendarEvent keep = makeEvent(cal, "留下", at(2027, 6, 1, 10));
    CalendarEvent drop = makeEvent(cal, "删除", at(2027, 6, 2, 10));
    ASSERT_TRUE(store.saveEvent(keep));
    ASSERT_TRUE(store.saveEvent(drop));
    ASSERT_TRUE(store.removeEvent(drop.identifier));
    EXPECT_FALSE(store.event(drop.identifier));
    QString error;
    EXPECT_FALSE(store.removeEvent(drop.identifier, true, &error));
    EXPECT_FALSE(error.isEmpty());

    const QByteArray bytes = read(store.filePath(cal.identifier));
    EXPECT_FALSE(bytes.contains(drop.identifier.toUtf8()));
    EXPECT_TRUE(bytes.contains(keep.identifier.toUtf8()));
    EXPECT_TRUE(IcsCalendarStore(folder()).event(keep.identifier));
}

TEST(CalendarIcsStoreTest, DeferredCommitWritesTheFileOnceForABatch)
{
    IcsCalendarStore store(folder());
    const CalendarInfo cal = makeShootCalendar(store);
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
    EXPECT_EQ(IcsCalendarStore(folder()).events(at(2027, 1, 1, 0), at(2028, 1, 1, 0)).size(), 200);
}

TEST(CalendarIcsStoreTest, ResetDropsUncommittedChanges)
{
    IcsCalendarStore store(folder());
    const CalendarInfo cal = makeShootCalendar(store);
    CalendarEvent kept = makeEvent(cal, "已保存", at(2027, 2, 1, 10));
    ASSERT_TRUE(store.saveEvent(kept));
    CalendarEvent pending = makeEvent(cal, "未提交", at(2027, 2, 2, 10));
    ASSERT_TRUE(store.saveEvent(pending, false));
    ASSERT_TRUE(store.removeEvent(kept.identifier, false));
    store.reset();
    EXPECT_TRUE(store.event(kept.identifier));
    EXPECT_FALSE(store.event(pending.identifier));
}

TEST(CalendarIcsStoreTest, TheWrittenFilePassesLibicalsValidator)
{
    IcsCalendarStore store(folder());
    const CalendarInfo cal = makeShootCalendar(store);
    CalendarEvent e = makeEvent(cal, "李四 - 写真", at(2027, 4, 1, 9, 30));
    e.notes = QString("很长的备注").repeated(40);
    e.addAlarm(CalendarAlarm::atDate(at(2027, 3, 31, 10)));
    ASSERT_TRUE(store.saveEvent(e));

    // A fresh parse of the bytes, independent of the store's own reader.
    const QByteArray bytes = read(store.filePath(cal.identifier));
    icalcomponent* root = icalparser_parse_string(bytes.constData());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(icalcomponent_isa(root), ICAL_VCALENDAR_COMPONENT);
    EXPECT_EQ(icalcomponent_count_errors(root), 0);
    EXPECT_EQ(icalrestriction_check(root), 1);
    EXPECT_EQ(icalcomponent_count_errors(root), 0) << icalcomponent_as_ical_string(root);
    icalcomponent_free(root);
}

TEST(CalendarIcsStoreTest, TheWrittenFileParsesWithPythonsIcalendar)
{
    QProcess probe;
    probe.start("/usr/bin/python3", {"-c", "import icalendar"});
    if (!probe.waitForFinished(10000) || probe.exitCode() != 0)
        GTEST_SKIP() << "python3-icalendar is not installed";

    IcsCalendarStore store(folder());
    const CalendarInfo cal = makeShootCalendar(store);
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

TEST(CalendarIcsStoreTest, AnOutsideRewriteRaisesTheChangeSignalOnce)
{
    IcsCalendarStore store(folder());
    const CalendarInfo cal = makeShootCalendar(store);
    CalendarEvent e = makeEvent(cal, "原标题", at(2027, 7, 1, 10));
    ASSERT_TRUE(store.saveEvent(e));
    QSignalSpy spy(&store, &CalendarStore::changed);
    const QString path = store.filePath(cal.identifier);

    replaceByRename(path, read(path).replace("SUMMARY:原标题", "SUMMARY:外部修改"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() > 0; }, 3000));
    QTest::qWait(IcsCalendarStore::kCoalesceMs * 2);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(store.event(e.identifier)->title, "外部修改");

    // The file replaced by rename is still watched.
    rewriteInPlace(path, read(path).replace("SUMMARY:外部修改", "SUMMARY:再次修改"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() > 1; }, 3000));
    EXPECT_EQ(store.event(e.identifier)->title, "再次修改");

    // A calendar file dropped into the folder is a new calendar.
    IcsCalendarStore other(TestEnv::root() + "/elsewhere");
    CalendarInfo extra;
    extra.title = "外来日历";
    ASSERT_TRUE(other.saveCalendar(extra));
    QFile::copy(other.filePath(extra.identifier), store.filePath(extra.identifier));
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() > 2; }, 3000));
    EXPECT_TRUE(store.calendar(extra.identifier));
}

TEST(CalendarIcsStoreTest, OwnWritesRaiseNoChangeSignal)
{
    IcsCalendarStore store(folder());
    QSignalSpy spy(&store, &CalendarStore::changed);
    const CalendarInfo cal = makeShootCalendar(store);
    CalendarEvent e = makeEvent(cal, "自己写的", at(2027, 7, 2, 10));
    ASSERT_TRUE(store.saveEvent(e));
    e.title = "改过";
    ASSERT_TRUE(store.saveEvent(e));
    ASSERT_TRUE(store.removeEvent(e.identifier));
    QTest::qWait(IcsCalendarStore::kCoalesceMs * 3);
    EXPECT_EQ(spy.count(), 0);
}

TEST(CalendarIcsStoreTest, AnOutsideEditIsKeptWhenUncommittedChangesAreWritten)
{
    IcsCalendarStore store(folder());
    const CalendarInfo cal = makeShootCalendar(store);
    CalendarEvent ours = makeEvent(cal, "我们的", at(2027, 9, 1, 10));
    ASSERT_TRUE(store.saveEvent(ours, false));

    // Another program adds an event before the store has seen the change.
    IcsCalendarStore outside(folder());
    CalendarEvent theirs = makeEvent(cal, "别人的", at(2027, 9, 2, 10));
    ASSERT_TRUE(outside.saveEvent(theirs));

    QSignalSpy spy(&store, &CalendarStore::changed);
    ASSERT_TRUE(store.commit());
    EXPECT_TRUE(store.event(theirs.identifier));
    IcsCalendarStore reopened(folder());
    EXPECT_TRUE(reopened.event(ours.identifier));
    EXPECT_TRUE(reopened.event(theirs.identifier));
    // Callers hear of the outside event once.
    QTest::qWait(IcsCalendarStore::kCoalesceMs * 2);
    EXPECT_EQ(spy.count(), 1);
}

TEST(CalendarIcsStoreTest, MovingAnEventToAnotherCalendarKeepsItsIdentifier)
{
    IcsCalendarStore store(folder());
    const CalendarInfo cal = makeShootCalendar(store);
    CalendarInfo other;
    other.title = "备用";
    ASSERT_TRUE(store.saveCalendar(other));
    CalendarEvent e = makeEvent(cal, "搬家", at(2027, 10, 1, 10));
    ASSERT_TRUE(store.saveEvent(e));
    const QString id = e.identifier;
    e.calendarIdentifier = other.identifier;
    ASSERT_TRUE(store.saveEvent(e));
    IcsCalendarStore reopened(folder());
    ASSERT_TRUE(reopened.event(id));
    EXPECT_EQ(reopened.event(id)->calendarIdentifier, other.identifier);
    EXPECT_EQ(reopened.events(at(2027, 10, 1, 0), at(2027, 10, 2, 0)).size(), 1);
}

TEST(CalendarIcsStoreTest, InvalidEventsAreRefusedWithAMessage)
{
    IcsCalendarStore store(folder());
    const CalendarInfo cal = makeShootCalendar(store);
    QString error;
    CalendarEvent noCalendar = makeEvent(cal, "x", at(2027, 1, 1, 10));
    noCalendar.calendarIdentifier = "MISSING";
    EXPECT_FALSE(store.saveEvent(noCalendar, true, &error));
    EXPECT_FALSE(error.isEmpty());
    CalendarEvent backwards = makeEvent(cal, "x", at(2027, 1, 1, 10));
    backwards.endDate = backwards.startDate.addSecs(-60);
    error.clear();
    EXPECT_FALSE(store.saveEvent(backwards, true, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(backwards.identifier.isEmpty());
    CalendarInfo untitled;
    EXPECT_FALSE(store.saveCalendar(untitled, true, &error));
    EXPECT_EQ(store.calendars().size(), 1);
}

TEST(CalendarIcsStoreTest, AWriteThatFailsIsReportedAndLeavesTheStoreAsOnDisk)
{
    IcsCalendarStore store(folder());
    const CalendarInfo cal = makeShootCalendar(store);
    CalendarEvent saved = makeEvent(cal, "已写入", at(2027, 1, 1, 8));
    ASSERT_TRUE(store.saveEvent(saved));
    // Something that is no file stands where the calendar file was.
    const QString path = store.filePath(cal.identifier);
    QFile::remove(path);
    QDir().mkpath(path + "/blocker");
    CalendarEvent e = makeEvent(cal, "写不进去", at(2027, 1, 1, 10));
    QString error;
    EXPECT_FALSE(store.saveEvent(e, true, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(e.identifier.isEmpty());
    EXPECT_TRUE(store.events(at(2027, 1, 1, 10), at(2027, 1, 2, 0)).isEmpty());
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST(CalendarIcsStoreTest, AccessStartsFullAndRequestsAnswerLaterOnTheMainThread)
{
    IcsCalendarStore store(folder());
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

TEST(CalendarIcsStoreTest, SavedTimesAreWhatAReadGivesBack)
{
    IcsCalendarStore store(folder());
    const CalendarInfo cal = makeShootCalendar(store);

    // Milliseconds cannot be stored: the caller's event shows what was kept.
    CalendarEvent timed = makeEvent(cal, "毫秒", at(2027, 3, 1, 10).addMSecs(750));
    timed.addAlarm(CalendarAlarm::atDate(at(2027, 2, 28, 10).addMSecs(999)));
    ASSERT_TRUE(store.saveEvent(timed));
    EXPECT_EQ(timed.startDate, at(2027, 3, 1, 10));
    EXPECT_EQ(timed.alarms.first().absoluteDate, at(2027, 2, 28, 10));

    // An all-day event given as UTC instants still lands on the user's day.
    CalendarEvent day = makeEvent(cal, "全天", at(2027, 5, 2, 0).toUTC());
    day.allDay = true;
    day.endDate = at(2027, 5, 3, 0).toUTC();
    ASSERT_TRUE(store.saveEvent(day));
    EXPECT_EQ(day.startDate, at(2027, 5, 2, 0));
    EXPECT_EQ(day.endDate, at(2027, 5, 3, 0));
    EXPECT_TRUE(read(store.filePath(cal.identifier)).contains("DTSTART;VALUE=DATE:20270502"));

    IcsCalendarStore reopened(folder());
    EXPECT_EQ(*reopened.event(timed.identifier), timed);
    EXPECT_EQ(*reopened.event(day.identifier), day);
    EXPECT_EQ(*store.event(timed.identifier), timed);
}

TEST(CalendarIcsStoreTest, AFileReplacedWhileTheOldOneIsHeldOpenIsStillWatched)
{
    IcsCalendarStore store(folder());
    const CalendarInfo cal = makeShootCalendar(store);
    CalendarEvent e = makeEvent(cal, "原标题", at(2027, 7, 1, 10));
    ASSERT_TRUE(store.saveEvent(e));
    QSignalSpy spy(&store, &CalendarStore::changed);
    const QString path = store.filePath(cal.identifier);

    QFile holder(path); // another program still reading the old file
    ASSERT_TRUE(holder.open(QIODevice::ReadOnly));
    replaceByRename(path, read(path).replace("SUMMARY:原标题", "SUMMARY:外部修改"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() > 0; }, 3000));
    rewriteInPlace(path, read(path).replace("SUMMARY:外部修改", "SUMMARY:再次修改"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() > 1; }, 3000));
    EXPECT_EQ(store.event(e.identifier)->title, "再次修改");
}
