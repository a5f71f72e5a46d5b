#include "EdsTestService.h"
#include "ScheduleSession.h"

#include "TestEnv.h"
#include "orderbook/OrderCodec.h"
#include "orderbook/OrderbookKeys.h"
#include "platform/EdsCalendarStore.h"
#include "platform/IcsCalendarStore.h"
#include "platform/Paths.h"
#include "schedule/ScheduleOrderFlows.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

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

class ScheduleCalendarServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EdsTestService::instance().removeCalendars(CalendarSyncManager::calendarName());
        root = TestEnv::root() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        QDir().mkpath(root);
    }
    QString root;
};

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
    };
    const QList<Step> steps = {
        {"a new order", [&] { EXPECT_TRUE(s.view.flows().saveOrder(o, false)); }, 1},
        {"a delete", [&] { EXPECT_TRUE(s.orders.deleteOrder(*s.orders.order(o.id))); }, 0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        server.stop();
        step.act();
        s.settle();
        EXPECT_EQ(s.sync.pendingCalendarWork(), 1);
        EXPECT_EQ(s.bannerState(), CalendarSyncStatusBar::State::pending);
        EXPECT_TRUE(s.banner().startsWith("有 1 个档期尚未同步到日历（")) << s.banner().toStdString();
        EXPECT_FALSE(s.sync.lastCalendarFailure().isEmpty());
        EXPECT_TRUE(s.banner().contains(s.sync.lastCalendarFailure()));
        EXPECT_TRUE(s.defaults.hasStoredValue(OrderbookKeys::pendingCalendarWork));

        ASSERT_TRUE(server.start());
        s.sync.applicationDidBecomeActive(); // coming to the front refreshes
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.report().size() == step.eventsOnServer; }, 5000))
            << server.report().size();
        EXPECT_TRUE(QTest::qWaitFor([&] { return s.bannerState() == CalendarSyncStatusBar::State::synced; }, 3000))
            << s.banner().toStdString();
        EXPECT_EQ(s.banner(), green);
        EXPECT_EQ(s.sync.pendingCalendarWork(), 0);
        EXPECT_FALSE(s.defaults.hasStoredValue(OrderbookKeys::pendingCalendarWork));
    }
    EXPECT_TRUE(s.cell(QDate::currentDate()).unimportedEvents.isEmpty());
}

}
