#include "EdsTestService.h"
#include "ScheduleSession.h"
#include "ServiceSessionTest.h"

#include "TestEnv.h"
#include "orderbook/OrderCodec.h"
#include "orderbook/OrderbookKeys.h"
#include "platform/EdsCalendarStore.h"
#include "platform/IcsCalendarStore.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "schedule/ScheduleOrderFlows.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Events of the order book's calendar in the service, read afresh.
QList<CalendarEvent> serviceEvents()
{
    std::unique_ptr<EdsCalendarStore> store = EdsTestService::instance().store();
    QStringList ids;
    for (const CalendarInfo& c : store->calendars())
        if (c.title == CalendarSyncManager::calendarName())
            ids << c.identifier;
    if (ids.isEmpty())
        return {};
    const QDateTime now = QDateTime::currentDateTime();
    return store->events(now.addYears(-1), now.addYears(1), ids);
}

QByteArray filesText(const QString& folder)
{
    QByteArray all;
    for (const QString& name : QDir(folder).entryList({"*.ics"}, QDir::Files)) {
        QFile f(folder + '/' + name);
        f.open(QIODevice::ReadOnly);
        all += f.readAll();
    }
    return all;
}

using ScheduleCalendarServiceTest = ServiceSessionTest;

// A session without the service between two with it (a login whose bus lacks
// the service) must neither duplicate orders nor leave two events per order.
TEST_F(ScheduleCalendarServiceTest, OrdersStayOnceAcrossSessionsWithAndWithoutTheService)
{
    const QString folder = root + "/calendars";
    const QDate today = QDate::currentDate();
    QList<QUuid> entered;
    double receivedToday = 0;
    {
        SCOPED_TRACE("with the service");
        std::unique_ptr<EdsCalendarStore> service = EdsTestService::instance().store();
        ScheduleSession s(*service, root);
        for (const auto& [name, deposit] : {std::pair{"周七", 300.0}, std::pair{"吴八", 300.0}}) {
            const Order o = ScheduleSession::booking(name, today, deposit);
            ASSERT_TRUE(s.view.flows().saveOrder(o, false));
            entered << o.id;
        }
        s.settle();
        receivedToday = s.orders.revenueByPaymentDateFor(today);
        EXPECT_EQ(serviceEvents().size(), 2);
    }
    {
        SCOPED_TRACE("without the service: its files");
        std::unique_ptr<CalendarStore> files = CalendarStore::openForSession(folder, QDBusConnection(QStringLiteral("no-bus")));
        ASSERT_TRUE(dynamic_cast<IcsCalendarStore*>(files.get()));
        ScheduleSession s(*files, root);
        int written = -1;
        s.sync.batchSyncAllOrders(s.orders.orders(), [&](int n) { written = n; });
        EXPECT_EQ(written, 2);
        Order edited = *s.orders.order(entered.first());
        edited.note = "改在下午";
        ASSERT_TRUE(s.view.flows().saveOrder(edited, true));
        s.settle();
        for (const QUuid& id : entered)
            EXPECT_TRUE(filesText(folder).contains("X-TESSARY-ORDER-ID:" + OrderCodec::uuidText(id).toUtf8()));
    }
    {
        SCOPED_TRACE("with the service again: the files move in");
        std::unique_ptr<CalendarStore> service = CalendarStore::openForSession(folder);
        ASSERT_TRUE(dynamic_cast<EdsCalendarStore*>(service.get()));
        ScheduleSession s(*service, root);
        ASSERT_TRUE(QTest::qWaitFor([] { return serviceEvents().size() == 2; }, 5000)) << serviceEvents().size();
        s.settle(700); // past the write-back of anything imported
        QList<QUuid> ids;
        for (const Order& o : s.orders.orders())
            ids << o.id;
        EXPECT_EQ(ids, entered);
        EXPECT_EQ(s.orders.revenueByPaymentDateFor(today), receivedToday);
        const QList<CalendarEvent> events = serviceEvents();
        ASSERT_EQ(events.size(), 2);
        bool edited = false;
        for (const CalendarEvent& e : events) {
            // Two events naming one order cannot both be the one it holds.
            EXPECT_EQ(s.orders.order(*OrderCodec::parseUuid(e.orderIdentifier))->calendarEventIdentifier, e.identifier);
            edited = edited || e.notes.value_or("").contains("改在下午");
        }
        EXPECT_TRUE(edited) << "the edit made on the files holds";
        const DayFigures cell = s.cell(today);
        EXPECT_EQ(cell.orders.size(), 2);
        EXPECT_TRUE(cell.unimportedEvents.isEmpty());
        EXPECT_EQ(s.bannerState(), CalendarSyncStatusBar::State::synced) << s.banner().toStdString();
    }
}

// Writes a CalDAV server refuses wait on a stored list, are told on the
// banner with their cause, and go out at the next refresh once it is back.
TEST_F(ScheduleCalendarServiceTest, RefusedWritesWaitOnTheBannerAndGoOutWhenTheServerIsBack)
{
    RadicaleServer server;
    ASSERT_TRUE(server.running());
    EdsTestService::instance().addCalDavCalendar(CalendarSyncManager::calendarName(), server.port(), server.calendarPath());
    std::unique_ptr<EdsCalendarStore> service = EdsTestService::instance().store();
    ScheduleSession s(*service, root);
    ASSERT_TRUE(s.sync.syncsToPhone());
    ASSERT_EQ(s.bannerState(), CalendarSyncStatusBar::State::synced);
    const QString green = s.banner();
    const Order o = ScheduleSession::booking("郑九", QDate::currentDate(), 500);

    struct Step {
        const char* name;
        std::function<void()> act;
        int eventsOnServer;
        const char* serverText; // every event on the server reads it
    };
    const QList<Step> steps = {
        {"a new order", [&] { EXPECT_TRUE(s.view.flows().saveOrder(o, false)); }, 1, "郑九"},
        {"an edit", [&] {
             Order edited = *s.orders.order(o.id);
             edited.note = "改在下午";
             EXPECT_TRUE(s.view.flows().saveOrder(edited, true));
         }, 1, "改在下午"},
        {"a delete", [&] { EXPECT_TRUE(s.orders.deleteOrder(*s.orders.order(o.id))); }, 0, ""},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        server.stop();
        step.act();
        s.settle();
        EXPECT_EQ(s.sync.pendingCalendarWork(), 1);
        EXPECT_EQ(s.bannerState(), CalendarSyncStatusBar::State::pending);
        EXPECT_TRUE(s.banner().startsWith("日历服务器无法连接，1 项改动等待同步（")) << s.banner().toStdString();
        EXPECT_FALSE(s.sync.lastCalendarFailure().isEmpty());
        EXPECT_TRUE(s.banner().contains(s.sync.lastCalendarFailure()));
        EXPECT_TRUE(s.defaults.hasStoredValue(OrderbookKeys::pendingCalendarWork));

        ASSERT_TRUE(server.start());
        s.sync.applicationDidBecomeActive(); // coming to the front refreshes
        EXPECT_TRUE(QTest::qWaitFor([&] {
            const QList<std::pair<QString, QByteArray>> events = server.report();
            return events.size() == step.eventsOnServer
                && std::all_of(events.cbegin(), events.cend(),
                               [&](const auto& e) { return e.second.contains(step.serverText); });
        }, 5000)) << server.report().size();
        EXPECT_TRUE(QTest::qWaitFor([&] { return s.bannerState() == CalendarSyncStatusBar::State::synced; }, 4000))
            << s.banner().toStdString();
        EXPECT_EQ(s.banner(), green);
        EXPECT_EQ(s.sync.pendingCalendarWork(), 0);
        EXPECT_FALSE(s.defaults.hasStoredValue(OrderbookKeys::pendingCalendarWork));
    }
    EXPECT_TRUE(s.cell(QDate::currentDate()).unimportedEvents.isEmpty());
}

// A CalDAV server that stops while the app runs: every change made meanwhile
// is told on the banner as waiting for a server out of reach, with its cause,
// and nothing calls it a success; once the server is back the changes reach
// it without a restart or any other step, once each, and the banner turns
// green again. With the service's offline copy and without it.
TEST_F(ScheduleCalendarServiceTest, ChangesMadeWhileTheServerIsDownReachItWhenItIsBack)
{
    for (const bool offlineCopy : {true, false}) {
        SCOPED_TRACE(offlineCopy ? "with the offline copy" : "without the offline copy");
        EdsTestService::instance().removeCalendars(CalendarSyncManager::calendarName());
        const QString sessionRoot = root + (offlineCopy ? "/offline" : "/online");
        QDir().mkpath(sessionRoot);
        RadicaleServer server(offlineCopy ? "kept" : "direct");
        ASSERT_TRUE(server.running());
        EdsTestService::instance().addCalDavCalendar(CalendarSyncManager::calendarName(), server.port(),
                                                     server.calendarPath(), offlineCopy);
        std::unique_ptr<EdsCalendarStore> service = EdsTestService::instance().store();
        ScheduleSession s(*service, sessionRoot);
        QList<Order> booked;
        for (const char* name : {"赵一", "钱二", "孙三", "李四"}) {
            booked << ScheduleSession::booking(name, QDate::currentDate().addDays(2), 300);
            ASSERT_TRUE(s.view.flows().saveOrder(booked.last(), false));
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.report().size() == 4; }, 5000)) << server.report().size();
        ASSERT_EQ(s.bannerState(), CalendarSyncStatusBar::State::synced) << s.banner().toStdString();
        const QString green = s.banner();
        // Whatever the service reports meanwhile, the deleted booking's event
        // is never shown again, and no event of the day waits for an import.
        const QDate day = QDate::currentDate().addDays(2);
        const QString deletedEvent = s.orders.order(booked[3].id)->calendarEventIdentifier.value_or(QString());
        QStringList seen;
        QObject::connect(&s.sync, &CalendarSyncManager::shootEventsChanged, [&] {
            for (const ShootEvent& e : s.sync.shootEvents())
                if (e.id == deletedEvent)
                    seen << "the deleted booking's event listed";
        });
        QObject::connect(s.view.findChild<ScheduleCalendarModel*>(), &ScheduleCalendarModel::changed, [&] {
            if (!s.cell(day).unimportedEvents.isEmpty())
                seen << "an event of the day to import";
        });
        QStringList logged;
        Log::setSink([&](const QString& line) { logged << line; });
        QFile syncLog(s.sync.logFilePath());
        const qint64 logBefore = QFileInfo(syncLog).size();

        server.stop();
        struct Step {
            const char* name;
            std::function<void()> act;
        };
        auto edit = [&](int i) {
            Order o = *s.orders.order(booked[i].id);
            o.note = QStringLiteral("改：第%1次").arg(i + 1);
            EXPECT_TRUE(s.view.flows().saveOrder(o, true));
        };
        const Step steps[] = {
            {"first edit", [&] { edit(0); }},
            {"second edit", [&] { edit(1); }},
            {"third edit", [&] { edit(2); }},
            {"delete", [&] { EXPECT_TRUE(s.orders.deleteOrder(*s.orders.order(booked[3].id))); }},
        };
        int waiting = 0;
        for (const Step& step : steps) {
            SCOPED_TRACE(step.name);
            step.act();
            ++waiting;
            const QString expected = QStringLiteral("日历服务器无法连接，%1 项改动等待同步（").arg(waiting);
            EXPECT_TRUE(QTest::qWaitFor([&] { return s.banner().startsWith(expected); }, 10000)) << s.banner().toStdString();
            EXPECT_EQ(s.bannerState(), CalendarSyncStatusBar::State::pending);
            EXPECT_FALSE(s.sync.lastCalendarFailure().isEmpty());
            EXPECT_TRUE(s.banner().contains(s.sync.calendarServerProblem())) << s.banner().toStdString();
        }
        auto dayShowsThree = [&] {
            const DayFigures cell = s.cell(day);
            return cell.orders.size() == 3 && cell.unimportedEvents.isEmpty();
        };
        s.settle();
        EXPECT_TRUE(dayShowsThree()) << s.cell(day).unimportedEvents.size();
        // What the service only holds on this computer is no success.
        syncLog.open(QIODevice::ReadOnly);
        syncLog.seek(logBefore);
        const QString written = QString::fromUtf8(syncLog.readAll()) + logged.join('\n');
        syncLog.close();
        EXPECT_FALSE(written.contains(QRegularExpression("成功: [1-9]"))) << written.toStdString();
        EXPECT_TRUE(written.contains("日历服务器无法连接")) << written.toStdString();

        // Back: nothing but waiting brings the changes out.
        ASSERT_TRUE(server.start());
        EXPECT_TRUE(QTest::qWaitFor([&] { return s.banner() == green; }, 60000)) << s.banner().toStdString();
        EXPECT_EQ(s.sync.pendingCalendarWork(), 0);
        EXPECT_TRUE(s.sync.calendarServerProblem().isEmpty());
        Log::setSink({});
        QList<std::pair<QString, QByteArray>> onServer;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            onServer = server.report();
            int edited = 0;
            for (const auto& [href, text] : onServer)
                edited += text.contains("改：第") ? 1 : 0;
            return onServer.size() == 3 && edited == 3;
        }, 10000)) << onServer.size();
        QSet<QString> names;
        for (const auto& [href, text] : onServer) {
            const QString ics = QString::fromUtf8(text);
            for (int i = 0; i < 3; ++i) {
                if (ics.contains(OrderCodec::uuidText(booked[i].id))) {
                    names.insert(booked[i].customerName);
                    EXPECT_TRUE(ics.contains(QStringLiteral("改：第%1次").arg(i + 1))) << text.constData();
                }
            }
            EXPECT_FALSE(ics.contains(OrderCodec::uuidText(booked[3].id))) << "the deleted booking stays deleted";
        }
        EXPECT_EQ(names.size(), 3) << "each booking once";
        s.settle(700);
        EXPECT_EQ(s.orders.orders().size(), 3) << "nothing deleted comes back as an order";
        EXPECT_TRUE(dayShowsThree()) << s.cell(day).unimportedEvents.size();
        EXPECT_TRUE(seen.isEmpty()) << seen.join(", ").toStdString();
    }
}


// The server is asked again after 2, then 4, then 8 s, and so on: one down
// for about ten seconds has a booking made meanwhile within about ten seconds
// of its return, without a refresh or any other step.
TEST_F(ScheduleCalendarServiceTest, ABookingMadeWhileTheServerIsDownReachesItSoonAfterItIsBack)
{
    for (const bool offlineCopy : {true, false}) {
        SCOPED_TRACE(offlineCopy ? "with the offline copy" : "without the offline copy");
        EdsTestService::instance().removeCalendars(CalendarSyncManager::calendarName());
        const QString sessionRoot = root + (offlineCopy ? "/offline" : "/online");
        QDir().mkpath(sessionRoot);
        RadicaleServer server(offlineCopy ? "soon-kept" : "soon-direct");
        ASSERT_TRUE(server.running());
        EdsTestService::instance().addCalDavCalendar(CalendarSyncManager::calendarName(), server.port(),
                                                     server.calendarPath(), offlineCopy);
        std::unique_ptr<EdsCalendarStore> service = EdsTestService::instance().store();
        ScheduleSession s(*service, sessionRoot);
        const Order first = ScheduleSession::booking("欧阳一", QDate::currentDate().addDays(3), 300);
        ASSERT_TRUE(s.view.flows().saveOrder(first, false));
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.report().size() == 1; }, 5000)) << server.report().size();
        ASSERT_TRUE(QTest::qWaitFor([&] { return s.bannerState() == CalendarSyncStatusBar::State::synced; }, 5000))
            << s.banner().toStdString();

        server.stop();
        QElapsedTimer down;
        down.start();
        const Order meanwhile = ScheduleSession::booking("司马二", QDate::currentDate().addDays(3), 300);
        ASSERT_TRUE(s.view.flows().saveOrder(meanwhile, false));
        EXPECT_TRUE(QTest::qWaitFor([&] { return s.banner().startsWith("日历服务器无法连接"); }, 5000))
            << s.banner().toStdString();
        QTest::qWait(int(std::max<qint64>(0, 10000 - down.elapsed())));
        ASSERT_TRUE(server.start());
        QElapsedTimer back;
        back.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.eventsByOrder().contains(OrderCodec::uuidText(meanwhile.id)); },
                                    12000))
            << "not on the server " << back.elapsed() << " ms after its return, down for " << down.elapsed() - back.elapsed()
            << " ms";
        EXPECT_TRUE(QTest::qWaitFor([&] { return s.bannerState() == CalendarSyncStatusBar::State::synced; }, 5000))
            << s.banner().toStdString();
        EXPECT_EQ(server.report().size(), 2);
    }
}

}
