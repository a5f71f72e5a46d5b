#include "EdsTestService.h"
#include "PlatformTestFiles.h"

#include "orderbook/CalendarSyncManager.h"
#include "orderbook/OrderManager.h"
#include "platform/EdsCalendarStore.h"
#include "platform/IcsCalendarStore.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace PlatformTestFiles;

namespace {

QDateTime inDays(int days)
{
    return QDateTime(QDate::currentDate().addDays(days), QTime(15, 0));
}

}

// The sync in the app against a CalDAV server behind the desktop's service,
// the calendar added as a user adds one: orders reach the server, the
// server's edits reach the app after a refresh, deletes leave the server.
TEST(CalendarServiceSyncTest, OrdersReachTheCalDavServerAndItsEditsComeBack)
{
    RadicaleServer server;
    ASSERT_TRUE(server.running());
    EdsTestService& service = EdsTestService::instance();
    const QString calendarId = service.addCalDavCalendar("拍摄档期", server.port(), server.calendarPath());
    std::unique_ptr<EdsCalendarStore> store = service.store();
    ASSERT_TRUE(store->calendar(calendarId));
    EXPECT_EQ(store->calendar(calendarId)->source.type, CalendarSourceType::CalDAV);

    UserDefaults defaults(TestEnv::root() + "/defaults.json");
    OrderManager orders(defaults);
    UserNotificationCenter notifications(TestEnv::root() + "/pending.json", QDBusConnection(QStringLiteral("no-bus")));
    CalendarSyncManager manager(*store, notifications, defaults, orders);
    Order order("王五", "13900000000", "全家福", inDays(10), inDays(10), ShootTimeSlot::afternoon, 2000, 300, {}, "",
                OrderStatus::pendingShoot, true, QString("提前1天"), "", false);
    orders.addOrder(order);

    std::optional<QString> id;
    manager.syncOrder(order, [&](const std::optional<QString>& result) { id = result; });
    ASSERT_TRUE(id);
    orders.setCalendarEventIdentifiers({{order.id, *id}}); // as the schedule screen does
    EXPECT_TRUE(manager.syncsToPhone());
    QList<std::pair<QString, QByteArray>> onServer;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (onServer = server.report()).size() == 1; }, 5000));
    const QByteArray text = onServer.first().second;
    EXPECT_TRUE(text.contains("UID:" + id->toUtf8())) << text.constData();
    EXPECT_TRUE(text.contains("SUMMARY:王五 - 全家福")) << text.constData();
    EXPECT_EQ(text.count("BEGIN:VALARM"), 3); // the three default reminder rules

    // Another device renames the booking on the server a moment later.
    QTest::qWait(1100);
    ASSERT_TRUE(server.put(onServer.first().first, QByteArray(text).replace("SUMMARY:王五 - 全家福", "SUMMARY:王五 - 改期")));
    ASSERT_TRUE(server.report().first().second.contains("SUMMARY:王五 - 改期"));
    auto titleInApp = [&] {
        for (const ShootEvent& e : manager.shootEvents())
            if (e.id == *id)
                return e.title;
        return QString();
    };
    store->refreshFromServers();
    EXPECT_TRUE(QTest::qWaitFor([&] { return titleInApp() == "王五 - 改期"; }, 5000)) << titleInApp().toStdString();

    EXPECT_TRUE(manager.deleteEvent(*id));
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.report().isEmpty(); }, 5000));
}

TEST(CalendarServiceSyncTest, TheServiceIsUsedWhenTheBusHasItAndFileEventsMoveInOnce)
{
    EdsTestService::instance();
    const QString folder = TestEnv::dataHome() + "/moving-calendars";
    QString movedId;
    {
        IcsCalendarStore files(folder);
        const CalendarInfo cal = shootCalendar(files, "搬家档期");
        CalendarEvent e = makeEvent(cal, "赵六 - 婚纱", at(2027, 9, 9, 10));
        e.addAlarm(CalendarAlarm::atDate(at(2027, 9, 8, 10)));
        ASSERT_TRUE(files.saveEvent(e));
        movedId = e.identifier;
    }
    QStringList log;
    Log::setSink([&](const QString& line) { log << line; });

    // No service on the bus: the files, as they are.
    std::unique_ptr<CalendarStore> without = CalendarStore::openForSession(folder, QDBusConnection(QStringLiteral("no-bus")));
    EXPECT_TRUE(dynamic_cast<IcsCalendarStore*>(without.get()));
    EXPECT_TRUE(without->event(movedId));
    without.reset();

    std::unique_ptr<CalendarStore> with = CalendarStore::openForSession(folder);
    Log::setSink({});
    ASSERT_TRUE(dynamic_cast<EdsCalendarStore*>(with.get()));
    const std::optional<CalendarEvent> moved = with->event(movedId);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->title, "赵六 - 婚纱");
    EXPECT_EQ(moved->alarms, QList<CalendarAlarm>{CalendarAlarm::atDate(at(2027, 9, 8, 10))});
    const std::optional<CalendarInfo> cal = with->calendar(moved->calendarIdentifier);
    EXPECT_EQ(cal->title, "搬家档期");
    EXPECT_EQ(cal->color, QColor("#CD5B2B"));
    EXPECT_EQ(cal->source.type, CalendarSourceType::Local);
    EXPECT_TRUE(entries(folder, "*.ics").isEmpty());
    EXPECT_EQ(entries(folder, "*.ics.moved-*").size(), 1);
    EXPECT_TRUE(log.filter("移入系统日历").size() == 1) << log.join('\n').toStdString();

    // Once: a second start finds nothing left to move.
    with.reset();
    with = CalendarStore::openForSession(folder);
    EXPECT_EQ(with->events(at(2027, 9, 9, 0), at(2027, 9, 10, 0), {cal->identifier}).size(), 1);
}

TEST(CalendarServiceSyncTest, AMoveThatFailsKeepsTheFilesAndSaysSo)
{
    // A file calendar named like the service's read-only birthday calendar
    // finds no place to go.
    QString birthdays;
    for (const CalendarInfo& c : EdsTestService::instance().store()->calendars())
        if (c.source.type == CalendarSourceType::Birthdays)
            birthdays = c.title;
    ASSERT_FALSE(birthdays.isEmpty());
    const QString folder = TestEnv::dataHome() + "/unmovable";
    QString uid;
    {
        IcsCalendarStore files(folder);
        CalendarEvent e = makeEvent(shootCalendar(files, birthdays), "留在文件里", at(2027, 1, 1, 9));
        ASSERT_TRUE(files.saveEvent(e));
        uid = e.identifier;
    }
    const QStringList before = entries(folder, "*.ics");
    QStringList log;
    Log::setSink([&](const QString& line) { log << line; });
    std::unique_ptr<CalendarStore> store = CalendarStore::openForSession(folder);
    Log::setSink({});
    EXPECT_TRUE(dynamic_cast<IcsCalendarStore*>(store.get()));
    EXPECT_TRUE(store->event(uid));
    EXPECT_EQ(entries(folder, "*.ics"), before);
    EXPECT_EQ(log.filter("继续使用日历文件").size(), 1) << log.join('\n').toStdString();
}

// A calendar reaches the phone when it syncs with a server: any calendar of
// an online account whatever its backend (a Microsoft 365 account among
// them), or one on a server of its own; not those of this computer, nor
// subscriptions or birthdays.
TEST(CalendarServiceSyncTest, CalendarsOfOnlineAccountsReachThePhoneWhateverTheirBackend)
{
    struct Case {
        const char* title;
        const char* backend;
        bool inAccount;
        bool online;
    };
    const Case cases[] = {
        {"账户中的 Microsoft 365 日历", "microsoft365", true, true},
        {"账户中的 Exchange 日历", "ews", true, true},
        {"账户中的 CalDAV 日历", "caldav", true, true},
        {"账户中的 Google 日历", "google", true, true},
        {"独立的 CalDAV 日历", "caldav", false, true},
        {"独立的 Exchange 日历", "ews", false, true},
        {"独立的服务器日历", "microsoft365", false, true},
        {"本机日历", "local", false, false},
        {"订阅的日历", "webcal", false, false},
        {"天气", "weather", false, false},
        {"生日", "contacts", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        const CalendarSource source{{}, EdsCalendarStore::sourceTypeFor(c.backend, c.inAccount), {}};
        EXPECT_EQ(source.syncsOnline(), c.online);
    }
    // As the service lists them.
    EdsTestService& service = EdsTestService::instance();
    QList<std::pair<QString, bool>> made;
    for (const Case& c : cases) {
        if (!c.inAccount && QByteArray(c.backend) != "contacts" && QByteArray(c.backend) != "weather")
            made.append({service.addSource(c.title, c.backend, c.online ? "caldav-stub" : QString(c.backend) + "-stub"), c.online});
    }
    std::unique_ptr<EdsCalendarStore> store = service.store();
    for (const auto& [uid, online] : made) {
        const std::optional<CalendarInfo> info = store->calendar(uid);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->source.syncsOnline(), online) << info->title.toStdString();
    }
}

// The service carried out a write for a client already gone and took the
// server's copy in only while the app's own write of that event was under
// way: that report, set aside for a write that then fails, is read again,
// and the app is told, so its retry goes through as a change of the event.
TEST(CalendarServiceSyncTest, AReportSetAsideForAWriteThatFailedIsReadAgain)
{
    RadicaleServer server;
    ASSERT_TRUE(server.running());
    EdsTestService& service = EdsTestService::instance();
    const QString calendarId = service.addCalDavCalendar("拍摄档期", server.port(), server.calendarPath());
    std::unique_ptr<EdsCalendarStore> store = service.store();
    CalendarEvent event;
    event.calendarIdentifier = calendarId;
    event.title = QStringLiteral("赵六 - 婚纱照");
    event.startDate = inDays(5);
    event.endDate = inDays(5).addSecs(3600);
    ASSERT_TRUE(store->saveEvent(event));
    QList<std::pair<QString, QByteArray>> onServer;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (onServer = server.report()).size() == 1; }, 5000));
    // Gone from the service, back on the server behind its back.
    ASSERT_TRUE(store->removeEvent(event.identifier));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.report().isEmpty(); }, 5000));
    ASSERT_TRUE(server.put(onServer.first().first, onServer.first().second));

    // The app's write is under way when the service reports the server's copy.
    event.title = QStringLiteral("赵六 - 改期");
    ASSERT_TRUE(store->saveEvent(event, false));
    store->refreshFromServers();
    std::unique_ptr<EdsCalendarStore> other = service.store();
    ASSERT_TRUE(QTest::qWaitFor([&] { return other->event(event.identifier).has_value(); }, 10000));
    QTest::qWait(300); // this store's report of it, set aside
    QSignalSpy changed(store.get(), &CalendarStore::changed);
    QString error;
    ASSERT_FALSE(store->commit(&error)) << "a create of an event the service holds";
    store->reset();
    ASSERT_TRUE(changed.wait(5000)) << "nothing tells the app to read and try again";
    const std::optional<CalendarEvent> held = store->event(event.identifier);
    ASSERT_TRUE(held);
    EXPECT_EQ(held->title, "赵六 - 婚纱照");
    EXPECT_TRUE(store->saveEvent(event, true, &error)) << error.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        onServer = server.report();
        return onServer.size() == 1 && onServer.first().second.contains("SUMMARY:赵六 - 改期");
    }, 5000)) << onServer.size();
}
