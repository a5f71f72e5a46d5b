#include "EdsTestService.h"
#include "PlatformTestFiles.h"

#include "platform/EdsCalendarStore.h"
#include "platform/IcsCalendarStore.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

#include <gtest/gtest.h>

#undef signals
#include <libecal/libecal.h>

using namespace PlatformTestFiles;

namespace {

// What differs between the two stores: how one is opened, how another
// program puts raw iCalendar text in, and how the stored text is read back.
struct Backend {
    const char* name;
    std::function<std::unique_ptr<CalendarStore>()> open;
    std::function<void(CalendarStore&, const QString& calendar, const QByteArray& vevent)> addRaw;
    std::function<QByteArray(CalendarStore&, const QString& calendar, const QString& uid)> storedText;
};

// Test names and failures show the store, not the bytes of its functions.
void PrintTo(const Backend& backend, std::ostream* out)
{
    *out << backend.name;
}

QString icsFolder()
{
    return TestEnv::dataHome() + "/contract-calendars";
}

const Backend kBackends[] = {
    {"files", [] { return std::make_unique<IcsCalendarStore>(icsFolder()); },
     [](CalendarStore& store, const QString& calendar, const QByteArray& vevent) {
         auto& files = static_cast<IcsCalendarStore&>(store);
         const QString path = files.filePath(calendar);
         rewriteInPlace(path, read(path).replace("END:VCALENDAR", vevent + "END:VCALENDAR"));
         files.rescan();
     },
     [](CalendarStore& store, const QString& calendar, const QString&) {
         return read(static_cast<IcsCalendarStore&>(store).filePath(calendar));
     }},
    {"service", [] { return std::unique_ptr<CalendarStore>(EdsTestService::instance().store().release()); },
     [](CalendarStore& store, const QString& calendar, const QByteArray& vevent) {
         QString error;
         EXPECT_EQ(static_cast<EdsCalendarStore&>(store).addComponents(
                       calendar, "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + vevent + "END:VCALENDAR\r\n", &error),
                   1)
             << error.toStdString();
     },
     // What the service itself holds, through a client of its own.
     [](CalendarStore&, const QString& calendar, const QString& uid) {
         ESourceRegistry* registry = e_source_registry_new_sync(nullptr, nullptr);
         ESource* source = e_source_registry_ref_source(registry, calendar.toUtf8().constData());
         EClient* client = e_cal_client_connect_sync(source, E_CAL_CLIENT_SOURCE_TYPE_EVENTS, guint32(-1), nullptr, nullptr);
         // The series with its moved occurrences, when it is one.
         GSList* components = nullptr;
         QByteArray out;
         if (client && e_cal_client_get_objects_for_uid_sync(E_CAL_CLIENT(client), uid.toUtf8().constData(), &components,
                                                            nullptr, nullptr)) {
             for (GSList* l = components; l; l = l->next) {
                 gchar* text = i_cal_component_as_ical_string(e_cal_component_get_icalcomponent(E_CAL_COMPONENT(l->data)));
                 out += text;
                 g_free(text);
             }
             g_slist_free_full(components, g_object_unref);
         }
         for (gpointer p : {gpointer(client), gpointer(source), gpointer(registry)})
             if (p)
                 g_object_unref(p);
         return out;
     }},
};

class CalendarStoreContractTest : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override
    {
        store = GetParam().open();
        ASSERT_TRUE(store);
        // A calendar of its own per case: the service lives across cases (and
        // keeps them; removing sources now and then ends its registry).
        cal = shootCalendar(*store, "拍摄档期 " + QString::fromLatin1(
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }

    std::unique_ptr<CalendarStore> store;
    CalendarInfo cal;
};

}

TEST_P(CalendarStoreContractTest, EventsAreCreatedChangedAndRemovedAsAnotherReaderSeesThem)
{
    CalendarEvent e = makeEvent(cal, "张三 - 婚纱套餐", at(2027, 3, 10, 14));
    e.notes = "张三-13800138000-定金500\n外景；反斜杠\\，逗号,";
    e.location = "西湖";
    QString error;
    ASSERT_TRUE(store->saveEvent(e, true, &error)) << error.toStdString();
    ASSERT_FALSE(e.identifier.isEmpty());
    EXPECT_EQ(cal.color, QColor("#CD5B2B"));

    std::unique_ptr<CalendarStore> reader = GetParam().open();
    ASSERT_TRUE(reader->calendar(cal.identifier));
    EXPECT_EQ(reader->calendar(cal.identifier)->color, QColor("#CD5B2B"));
    EXPECT_EQ(reader->event(e.identifier), e);

    e.title = "【已取消】张三 - 婚纱套餐";
    e.startDate = at(2027, 3, 11, 9);
    e.endDate = at(2027, 3, 11, 11);
    ASSERT_TRUE(store->saveEvent(e));
    EXPECT_EQ(GetParam().open()->event(e.identifier), e);

    // A batch: nothing reaches another reader before the commit.
    QStringList batch;
    for (int i = 0; i < 20; ++i) {
        CalendarEvent b = makeEvent(cal, QString("订单%1").arg(i), at(2027, 4, 1, 8).addDays(i));
        ASSERT_TRUE(store->saveEvent(b, false));
        batch << b.identifier;
    }
    ASSERT_TRUE(store->removeEvent(e.identifier, false));
    EXPECT_TRUE(GetParam().open()->event(e.identifier));
    EXPECT_EQ(store->events(at(2027, 1, 1, 0), at(2028, 1, 1, 0), {cal.identifier}).size(), 20);
    ASSERT_TRUE(store->commit());
    reader = GetParam().open();
    EXPECT_FALSE(reader->event(e.identifier));
    EXPECT_EQ(reader->events(at(2027, 1, 1, 0), at(2028, 1, 1, 0), {cal.identifier}).size(), 20);

    // Dropped changes never leave; removing what is gone fails.
    CalendarEvent dropped = makeEvent(cal, "未提交", at(2027, 6, 1, 8));
    ASSERT_TRUE(store->saveEvent(dropped, false));
    ASSERT_TRUE(store->removeEvent(batch.first(), false));
    store->reset();
    EXPECT_FALSE(store->event(dropped.identifier));
    EXPECT_TRUE(store->event(batch.first()));
    EXPECT_FALSE(store->removeEvent(e.identifier, true, &error));
}

TEST_P(CalendarStoreContractTest, AlarmsKeepTheirMomentAndWhoAddedThem)
{
    CalendarEvent e = makeEvent(cal, "李四 - 写真", at(2027, 5, 20, 10));
    e.addAlarm(CalendarAlarm::atDate(at(2027, 5, 13, 10)));
    e.addAlarm(CalendarAlarm::atDate(at(2027, 5, 19, 10)));
    e.addAlarm(CalendarAlarm::atDate(at(2027, 5, 20, 9), false));
    ASSERT_TRUE(store->saveEvent(e));
    const CalendarEvent back = *GetParam().open()->event(e.identifier);
    EXPECT_EQ(back.alarms, e.alarms);
    EXPECT_EQ(GetParam().storedText(*store, cal.identifier, e.identifier).count("BEGIN:VALARM"), 3);

    // Ours are replaced on the next write, the user's stays.
    CalendarEvent again = back;
    again.alarms.removeIf([](const CalendarAlarm& a) { return a.addedByApp; });
    again.addAlarm(CalendarAlarm::atDate(at(2027, 5, 17, 10)));
    ASSERT_TRUE(store->saveEvent(again));
    const QList<CalendarAlarm> stored = GetParam().open()->event(e.identifier)->alarms;
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(stored.count(CalendarAlarm::atDate(at(2027, 5, 20, 9), false)), 1);
    EXPECT_EQ(stored.count(CalendarAlarm::atDate(at(2027, 5, 17, 10))), 1);
}

TEST_P(CalendarStoreContractTest, TimesInOtherZonesAndAllDayEventsReadBackAsTheSameMoments)
{
    const struct {
        const char* name;
        QByteArray dtstart;
        QDateTime expected;
    } outside[] = {
        {"IANA zone", "DTSTART;TZID=Europe/Paris:20270310T100000", QDateTime(QDate(2027, 3, 10), QTime(9, 0), Qt::UTC)},
        {"desktop's zone names", "DTSTART;TZID=/freeassociation.sourceforge.net/America/New_York:20270710T080000",
         QDateTime(QDate(2027, 7, 10), QTime(12, 0), Qt::UTC)},
        {"UTC", "DTSTART:20270101T000000Z", QDateTime(QDate(2027, 1, 1), QTime(0, 0), Qt::UTC)},
    };
    for (const auto& c : outside) {
        SCOPED_TRACE(c.name);
        const QString uid = QString("zone-%1@elsewhere").arg(c.name).replace(' ', '-');
        GetParam().addRaw(*store, cal.identifier,
                          "BEGIN:VEVENT\r\nUID:" + uid.toUtf8() + "\r\nDTSTAMP:20260101T000000Z\r\n" + c.dtstart
                              + "\r\nDURATION:PT1H\r\nSUMMARY:外来\r\nEND:VEVENT\r\n");
        const std::optional<CalendarEvent> got = GetParam().open()->event(uid);
        ASSERT_TRUE(got);
        EXPECT_EQ(got->startDate.toMSecsSinceEpoch(), c.expected.toMSecsSinceEpoch());
        EXPECT_EQ(got->endDate.toMSecsSinceEpoch(), c.expected.addSecs(3600).toMSecsSinceEpoch());
    }

    CalendarEvent zoned = makeEvent(cal, "纽约", QDateTime(QDate(2027, 11, 7), QTime(1, 30), QTimeZone("America/New_York")));
    CalendarEvent day = makeEvent(cal, "全天", at(2027, 5, 2, 0), 24);
    day.allDay = true;
    for (CalendarEvent* e : {&zoned, &day})
        ASSERT_TRUE(store->saveEvent(*e));
    std::unique_ptr<CalendarStore> reader = GetParam().open();
    EXPECT_EQ(reader->event(zoned.identifier)->startDate.toMSecsSinceEpoch(), zoned.startDate.toMSecsSinceEpoch());
    EXPECT_EQ(reader->event(day.identifier), day);
    EXPECT_EQ(reader->events(at(2027, 5, 2, 23), at(2027, 5, 3, 1), {cal.identifier}).size(), 1);
}

TEST_P(CalendarStoreContractTest, WhatTheAppDoesNotKnowSurvivesItsEdits)
{
    GetParam().addRaw(*store, cal.identifier,
                      "BEGIN:VEVENT\r\nUID:kept@elsewhere\r\nDTSTAMP:20260101T000000Z\r\n"
                      "DTSTART:20270801T020000Z\r\nDTEND:20270801T040000Z\r\nSUMMARY:原标题\r\n"
                      "CATEGORIES:客户\r\nX-OTHER-APP;X-PARAM=1:保留我\r\n"
                      "BEGIN:VALARM\r\nACTION:AUDIO\r\nTRIGGER:-PT15M\r\nX-OTHER-ALARM:1\r\nEND:VALARM\r\n"
                      "END:VEVENT\r\n");
    ASSERT_TRUE(store->event("kept@elsewhere"));
    CalendarEvent e = *store->event("kept@elsewhere");
    ASSERT_EQ(e.alarms.size(), 1);
    EXPECT_EQ(e.alarms.first().relativeOffset, -15 * 60);
    e.title = "新标题";
    e.addAlarm(CalendarAlarm::atDate(at(2027, 7, 31, 10)));
    ASSERT_TRUE(store->saveEvent(e));

    const QByteArray text = GetParam().storedText(*store, cal.identifier, e.identifier);
    for (const char* kept : {"SUMMARY:新标题", "CATEGORIES:客户", "X-OTHER-APP;X-PARAM=1:保留我", "X-OTHER-ALARM:1",
                             "TRIGGER:-PT15M", "ACTION:AUDIO"})
        EXPECT_TRUE(text.contains(kept)) << kept << "\n" << text.constData();
    EXPECT_EQ(text.count("BEGIN:VALARM"), 2);
}

// A series with one occurrence moved elsewhere keeps the others where they
// were and the moved one where it went, also after the app edits the series.
TEST_P(CalendarStoreContractTest, AMovedOccurrenceStaysApartFromItsSeries)
{
    GetParam().addRaw(*store, cal.identifier,
                      "BEGIN:VEVENT\r\nUID:series@elsewhere\r\nDTSTAMP:20260101T000000Z\r\n"
                      "DTSTART:20270801T020000Z\r\nDTEND:20270801T030000Z\r\nRRULE:FREQ=WEEKLY;COUNT=4\r\n"
                      "SUMMARY:每周拍摄\r\nEND:VEVENT\r\n"
                      "BEGIN:VEVENT\r\nUID:series@elsewhere\r\nDTSTAMP:20260101T000000Z\r\n"
                      "RECURRENCE-ID:20270808T020000Z\r\nDTSTART:20270809T060000Z\r\nDTEND:20270809T070000Z\r\n"
                      "SUMMARY:改到周一\r\nEND:VEVENT\r\n");
    ASSERT_TRUE(store->event("series@elsewhere"));
    CalendarEvent e = *store->event("series@elsewhere");
    e.title = "每周拍摄（新）";
    ASSERT_TRUE(store->saveEvent(e));

    const QByteArray text = GetParam().storedText(*store, cal.identifier, e.identifier);
    EXPECT_EQ(text.count("BEGIN:VEVENT"), 2) << text.constData();
    for (const char* kept : {"SUMMARY:每周拍摄（新）", "FREQ=WEEKLY;COUNT=4", "DTSTART:20270801T020000Z",
                             "RECURRENCE-ID:20270808T020000Z", "DTSTART:20270809T060000Z", "SUMMARY:改到周一"})
        EXPECT_TRUE(text.contains(kept)) << kept << "\n" << text.constData();
}

TEST_P(CalendarStoreContractTest, EditsByAnotherProgramAreSeenAndOwnWritesAreNot)
{
    QSignalSpy spy(store.get(), &CalendarStore::changed);
    CalendarEvent own = makeEvent(cal, "自己写的", at(2027, 7, 2, 10));
    ASSERT_TRUE(store->saveEvent(own));
    own.title = "改过";
    ASSERT_TRUE(store->saveEvent(own));
    CalendarEvent gone = makeEvent(cal, "删掉", at(2027, 7, 3, 10));
    ASSERT_TRUE(store->saveEvent(gone));
    ASSERT_TRUE(store->removeEvent(gone.identifier));
    QTest::qWait(1500);
    EXPECT_EQ(spy.count(), 0);

    const struct {
        const char* name;
        std::function<void(CalendarStore&)> edit;
        std::function<bool(CalendarStore&)> seen;
    } edits[] = {
        {"retitled", [&](CalendarStore& other) { retitle(other, own.identifier, "手机上改的"); },
         [&](CalendarStore& s) { return s.event(own.identifier) && s.event(own.identifier)->title == "手机上改的"; }},
        {"added", [&](CalendarStore& other) {
             CalendarEvent e = makeEvent(cal, "手机上加的", at(2027, 7, 4, 10));
             e.identifier = "phone-added";
             EXPECT_TRUE(other.saveEvent(e));
         },
         [](CalendarStore& s) { return s.event("phone-added").has_value(); }},
        {"removed", [&](CalendarStore& other) { EXPECT_TRUE(other.removeEvent(own.identifier)); },
         [&](CalendarStore& s) { return !s.event(own.identifier); }},
    };
    for (const auto& c : edits) {
        SCOPED_TRACE(c.name);
        spy.clear();
        std::unique_ptr<CalendarStore> other = GetParam().open();
        c.edit(*other);
        ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() > 0; }, 5000));
        EXPECT_TRUE(c.seen(*store));
        QTest::qWait(700);
        EXPECT_EQ(spy.count(), 1);
    }
}

// A batch larger than what goes to the service in one call: it arrives
// whole, the reports of its own events raise nothing, and an edit made
// elsewhere right after it is still seen.
TEST_P(CalendarStoreContractTest, ABatchOfSeveralChunksArrivesWholeAndEchoesNothing)
{
    CalendarEvent existing = makeEvent(cal, "已有", at(2027, 8, 1, 8));
    CalendarEvent doomed = makeEvent(cal, "要删的", at(2027, 8, 2, 8));
    ASSERT_TRUE(store->saveEvent(existing));
    ASSERT_TRUE(store->saveEvent(doomed));
    QTest::qWait(700);
    QSignalSpy spy(store.get(), &CalendarStore::changed);

    const int count = 2 * EdsCalendarStore::kSendChunk + 1;
    QStringList ids;
    for (int i = 0; i < count; ++i) {
        CalendarEvent e = makeEvent(cal, QString("批量%1").arg(i), at(2027, 9, 1, 8).addSecs(qint64(i) * 3600));
        e.addAlarm(CalendarAlarm::atDate(e.startDate.addDays(-1)));
        ASSERT_TRUE(store->saveEvent(e, false));
        ids << e.identifier;
    }
    // Changed again before the commit: the last state goes out.
    CalendarEvent twice = *store->event(ids[count / 2]);
    twice.title = "改了两次";
    ASSERT_TRUE(store->saveEvent(twice, false));
    existing.title = "已有，改过";
    ASSERT_TRUE(store->saveEvent(existing, false));
    ASSERT_TRUE(store->removeEvent(doomed.identifier, false));
    ASSERT_TRUE(store->commit());
    QTest::qWait(1500);
    EXPECT_EQ(spy.count(), 0);

    std::unique_ptr<CalendarStore> reader = GetParam().open();
    EXPECT_EQ(reader->events(at(2027, 9, 1, 0), at(2028, 1, 1, 0), {cal.identifier}).size(), count);
    for (const QString& id : {ids.first(), ids[count / 2], ids.last(), existing.identifier})
        EXPECT_EQ(reader->event(id), store->event(id));
    EXPECT_EQ(reader->event(ids[count / 2])->title, "改了两次");
    EXPECT_EQ(reader->event(existing.identifier)->title, "已有，改过");
    EXPECT_FALSE(reader->event(doomed.identifier));

    retitle(*reader, ids.last(), "手机上改的");
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() > 0; }, 5000));
    EXPECT_EQ(store->event(ids.last())->title, "手机上改的");
}

INSTANTIATE_TEST_SUITE_P(Stores, CalendarStoreContractTest, ::testing::ValuesIn(kBackends),
                         ::testing::PrintToStringParamName());
