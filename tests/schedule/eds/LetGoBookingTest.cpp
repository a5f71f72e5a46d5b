// A booking this book let go, or switched off the calendar, never stays in
// the calendar nor comes back as an order, whatever came between: a service
// that held the write and carried it out later, a session on the calendar
// files, the app ending or killed in the middle of the change.

#include "EdsTestService.h"
#include "ScheduleSession.h"
#include "ServiceSessionTest.h"

#include "ChildProcess.h"
#include "TestEnv.h"
#include "orderbook/OrderCodec.h"
#include "platform/EdsCalendarStore.h"
#include "platform/IcsCalendarStore.h"
#include "platform/Paths.h"
#include "schedule/ScheduleOrderFlows.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

const char* const kBusVariable = "TESSARY_LETGO_BUS";
const char* const kRootVariable = "TESSARY_LETGO_ROOT";
const char* const kFilesVariable = "TESSARY_LETGO_FILES";

// The events of every calendar in `store` that name `order`.
QList<CalendarEvent> eventsNaming(CalendarStore& store, const QUuid& order)
{
    const QDateTime now = QDateTime::currentDateTime();
    QList<CalendarEvent> out;
    for (const CalendarEvent& e : store.events(now.addYears(-1), now.addYears(1), {})) {
        if (e.orderIdentifier == OrderCodec::uuidText(order))
            out.append(e);
    }
    return out;
}

QString syncLogText(const ScheduleSession& s)
{
    QFile log(s.sync.logFilePath());
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

// A second app process, this test binary running the child case below over
// the service's bus (or the calendar files) and the preferences under `root`.
class AppProcess : public ChildProcess
{
public:
    AppProcess(const QString& root, const QString& files)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (files.isEmpty())
            env.insert(kBusVariable, EdsTestService::instance().busAddress());
        env.insert(kFilesVariable, files);
        env.insert(kRootVariable, root);
        // Folders of its own: ending normally, it empties them as a test does.
        env.remove("TESSARY_TEST_ROOT");
        startTestCase(QStringLiteral("LetGoBookingChild.DISABLED_AppProcess"), env);
    }
    void ask(const QByteArray& line) { process().write(line + '\n'); }
};

std::unique_ptr<CalendarStore> sessionStore(const QString& files)
{
    if (files.isEmpty())
        return EdsTestService::instance().store();
    return CalendarStore::openForSession(files, QDBusConnection(QStringLiteral("no-bus")));
}

// Run only by the tests below, on their service or files: it takes one
// change on its standard input and carries it out as the screens do.
TEST(LetGoBookingChild, DISABLED_AppProcess)
{
    const QString files = qEnvironmentVariable(kFilesVariable);
    if (files.isEmpty())
        qputenv("DBUS_SESSION_BUS_ADDRESS", qgetenv(kBusVariable));
    qputenv("GSETTINGS_BACKEND", "memory");
    // The test's service, never one of its own.
    std::unique_ptr<CalendarStore> store = files.isEmpty()
        ? std::unique_ptr<CalendarStore>(EdsCalendarStore::connect())
        : CalendarStore::openForSession(files, QDBusConnection(QStringLiteral("no-bus")));
    ASSERT_TRUE(store);
    ScheduleSession s(*store, qEnvironmentVariable(kRootVariable));
    // The book's calendar open, as in a session under way.
    s.sync.refreshEvents();
    s.settle();
    ParentPipe parent;
    ParentPipe::say("READY");
    const QStringList ask = parent.ask();
    ASSERT_GE(ask.size(), 2);
    const QUuid id = *OrderCodec::parseUuid(ask[1]);
    if (ask[0] == "save-then-delete") {
        Order o = ScheduleSession::booking("沈六", QDate::currentDate().addDays(4), 300);
        o.id = id;
        s.view.flows().saveOrder(o, false);
        s.orders.deleteOrder(*s.orders.order(id));
        ParentPipe::say("DELETED");
        // Ended by the test, or asked to end as the app does.
        parent.ask();
        return;
    }
    if (ask[0] == "switch-off") {
        // Killed just before the n-th file of the change takes its place.
        const int nth = ask.value(2).toInt();
        int renames = 0;
        Order o = *s.orders.order(id);
        o.syncToCalendar = false;
        Paths::setSaveHook([&](Paths::SaveStep step, qsizetype&) {
            if (step == Paths::SaveStep::Rename && ++renames == nth)
                ::kill(::getpid(), SIGKILL);
            return 0;
        });
        s.view.flows().saveOrder(o, true);
        s.settle(300);
        Paths::setSaveHook({});
        ParentPipe::say("DONE");
    }
}

using LetGoBookingTest = ServiceSessionTest;

// The service held the booking's first write, was given up on, and carried
// it out after the booking was deleted and the app ended: the next start
// removes that event and never takes it for a new booking.
TEST_F(LetGoBookingTest, ABookingDeletedWhileTheServiceHeldItsWriteNeverComesBack)
{
    RadicaleServer server("letgo");
    ASSERT_TRUE(server.running());
    EdsTestService::instance().addCalDavCalendar(CalendarSyncManager::calendarName(), server.port(), server.calendarPath());
    {
        // The book's calendar made and read once, as after any earlier start.
        std::unique_ptr<EdsCalendarStore> service = EdsTestService::instance().store();
        ScheduleSession s(*service, root);
    }
    struct Ending {
        const char* name;
        bool killed;
        bool serviceBackFirst;
    };
    // The service carries out what it held only for a client still there: it
    // comes back while the app runs, which ends the moment the event exists.
    const Ending endings[] = {
        {"the app killed as the service carries out the write", true, true},
        {"the app ended as the service carries out the write", false, true},
        {"the app killed while the service holds the write", true, false},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.name);
        const QUuid booking = QUuid::createUuid();
        const QString named = OrderCodec::uuidText(booking);
        {
            AppProcess app(root, {});
            ASSERT_TRUE(app.said("READY", 20000)) << app.ending();
            ASSERT_TRUE(EdsTestService::instance().setCalendarFactoryStopped(true));
            app.ask("save-then-delete " + named.toUtf8());
            ASSERT_TRUE(app.said("DELETED", 20000)) << app.ending();
            if (ending.serviceBackFirst) {
                EdsTestService::instance().setCalendarFactoryStopped(false);
                ASSERT_TRUE(QTest::qWaitFor([&] { return server.eventsByOrder().contains(named); }, 10000))
                    << "the service never carried out the write it held";
            }
            if (ending.killed) {
                ASSERT_TRUE(app.kill()) << "the app ended before the test's kill: " << app.ending();
            } else {
                app.ask("end");
                ASSERT_TRUE(app.finished(20000));
                EXPECT_TRUE(app.exitedCleanly()) << app.ending();
            }
            EdsTestService::instance().setCalendarFactoryStopped(false);
        }

        std::unique_ptr<EdsCalendarStore> service = EdsTestService::instance().store();
        ScheduleSession s(*service, root);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !server.eventsByOrder().contains(named); }, 15000))
            << "the deleted booking's event stays on the phone";
        s.settle(700); // past the write-back of anything imported
        EXPECT_TRUE(s.orders.orders().isEmpty()) << "the deleted booking came back as an order";
        EXPECT_FALSE(syncLogText(s).contains("自动导入日历事件为订单"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return s.sync.pendingCalendarWork() == 0; }, 5000));
    }
}

// A session on the calendar files (the service did not answer at start)
// deletes a booking whose event the service still holds: the next session on
// the service removes the event instead of importing it.
TEST_F(LetGoBookingTest, ABookingDeletedInASessionOnTheFilesNeverComesBack)
{
    const QString folder = root + "/calendars";
    const Order booking = ScheduleSession::booking("韩七", QDate::currentDate().addDays(6), 300);
    const Order other = ScheduleSession::booking("杨八", QDate::currentDate().addDays(7), 300);
    {
        std::unique_ptr<EdsCalendarStore> service = EdsTestService::instance().store();
        ScheduleSession s(*service, root);
        ASSERT_TRUE(s.view.flows().saveOrder(booking, false));
        ASSERT_TRUE(s.view.flows().saveOrder(other, false));
        ASSERT_EQ(eventsNaming(*service, booking.id).size(), 1);
    }
    {
        std::unique_ptr<CalendarStore> files = sessionStore(folder);
        ASSERT_TRUE(dynamic_cast<IcsCalendarStore*>(files.get()));
        ScheduleSession s(*files, root);
        ASSERT_TRUE(s.orders.deleteOrder(*s.orders.order(booking.id)));
        s.settle();
    }
    std::unique_ptr<CalendarStore> service = CalendarStore::openForSession(folder);
    ASSERT_TRUE(dynamic_cast<EdsCalendarStore*>(service.get()));
    ScheduleSession s(*service, root);
    EXPECT_TRUE(QTest::qWaitFor([&] { return eventsNaming(*service, booking.id).isEmpty(); }, 10000))
        << "the deleted booking's event stays in the calendar";
    s.settle(700);
    ASSERT_EQ(s.orders.orders().size(), 1) << "the deleted booking came back as an order";
    EXPECT_EQ(s.orders.orders().first().id, other.id);
    EXPECT_EQ(eventsNaming(*service, other.id).size(), 1);
    EXPECT_FALSE(syncLogText(s).contains("自动导入日历事件为订单"));
}

// An edit that only switches 日历提醒 off, killed at each write of the save
// in turn, over the service and over the files: the next start leaves the
// calendar as the stored order says, an event only while it asks for one.
TEST_F(LetGoBookingTest, AnOrderSwitchedOffTheCalendarLosesItsEventWhereverTheSaveWasCut)
{
    for (const bool overFiles : {false, true}) {
        SCOPED_TRACE(overFiles ? "over the calendar files" : "over the service");
        const QString sessionRoot = root + (overFiles ? "/files" : "/service");
        const QString folder = overFiles ? sessionRoot + "/calendars" : QString();
        QDir().mkpath(sessionRoot);
        int cuts = 0;
        for (int nth = 1; nth < 20; ++nth) {
            SCOPED_TRACE(nth);
            const Order booking = ScheduleSession::booking("朱九", QDate::currentDate().addDays(8), 300);
            {
                std::unique_ptr<CalendarStore> store = sessionStore(folder);
                ScheduleSession s(*store, sessionRoot);
                ASSERT_TRUE(s.view.flows().saveOrder(booking, false));
                ASSERT_EQ(eventsNaming(*store, booking.id).size(), 1);
            }
            bool done = false;
            {
                AppProcess app(sessionRoot, folder);
                ASSERT_TRUE(app.said("READY", 20000)) << app.ending();
                app.ask("switch-off " + OrderCodec::uuidText(booking.id).toUtf8() + ' ' + QByteArray::number(nth));
                done = app.said("DONE", 20000);
                ASSERT_TRUE(app.finished(20000)) << app.ending();
                // Only its own kill at the n-th write may cut it short.
                if (done)
                    ASSERT_TRUE(app.exitedCleanly()) << "after its save: " << app.ending();
                else
                    ASSERT_TRUE(app.killed()) << "without finishing its save: " << app.ending();
            }
            std::unique_ptr<CalendarStore> store = sessionStore(folder);
            ScheduleSession s(*store, sessionRoot);
            const std::optional<Order> stored = s.orders.order(booking.id);
            ASSERT_TRUE(stored);
            const int wanted = stored->syncToCalendar ? 1 : 0;
            EXPECT_TRUE(QTest::qWaitFor([&] { return eventsNaming(*store, booking.id).size() == wanted; }, 5000))
                << (stored->syncToCalendar ? "on" : "off") << " with " << eventsNaming(*store, booking.id).size()
                << " events";
            EXPECT_TRUE(QTest::qWaitFor([&] { return s.sync.pendingCalendarWork() == 0; }, 5000));
            if (done)
                break;
            ++cuts;
        }
        EXPECT_GE(cuts, 2) << "the change writes more than one file";
    }
}

}
