#include "CalendarServiceDaemons.h"
#include "ScheduleSession.h"

#include "TestEnv.h"
#include "platform/EdsCalendarStore.h"
#include "platform/IcsCalendarStore.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "schedule/ScheduleOrderFlows.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

// Every session takes the service when it is installed, starting it when it
// is not running; the files serve only where it is not installed, or for a
// session where it does not answer, which the log and the banner say.
TEST(CalendarStoreChoiceTest, TheServiceIsStartedWheneverItIsInstalled)
{
    using Mode = CalendarServiceDaemons::Mode;
    struct Case {
        const char* name;
        Mode mode;
        bool service;
        bool notice;
    };
    // The service's client library keeps the first bus that has it: that case goes last.
    const Case cases[] = {
        {"not installed", Mode::absent, false, false},
        {"does not answer", Mode::unresponsive, false, true},
        {"installed, not running", Mode::activatable, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString root = TestEnv::root() + "/choice-" + QString::number(int(c.mode));
        CalendarServiceDaemons daemons(root, c.mode);
        ASSERT_TRUE(daemons.ready());
        const QDBusConnection bus = QDBusConnection::connectToBus(daemons.address(), QStringLiteral("choice-%1").arg(int(c.mode)));
        QStringList log;
        Log::setSink([&](const QString& line) { log << line; });
        std::unique_ptr<CalendarStore> store = CalendarStore::openForSession(root + "/calendars", bus, 1000);
        Log::setSink({});
        EXPECT_EQ(dynamic_cast<EdsCalendarStore*>(store.get()) != nullptr, c.service);
        EXPECT_EQ(dynamic_cast<IcsCalendarStore*>(store.get()) != nullptr, !c.service);
        EXPECT_EQ(EdsCalendarStore::serviceRunning(bus), c.service);
        EXPECT_EQ(log.filter("系统日历服务没有响应").size(), c.notice ? 1 : 0) << log.join('\n').toStdString();

        QFile::remove(Paths::dataDir() + "/calendar_sync.log");
        ScheduleSession s(*store, root);
        const Order o = ScheduleSession::booking("冯十", QDate::currentDate(), 0);
        ASSERT_TRUE(s.view.flows().saveOrder(o, false));
        s.settle();
        ASSERT_TRUE(s.orders.order(o.id)->calendarEventIdentifier);
        EXPECT_TRUE(store->event(*s.orders.order(o.id)->calendarEventIdentifier)) << "the booking is in the store chosen";
        EXPECT_EQ(s.bannerState(), c.notice ? CalendarSyncStatusBar::State::pending : CalendarSyncStatusBar::State::synced);
        EXPECT_EQ(s.banner().contains("系统日历服务暂不可用"), c.notice) << s.banner().toStdString();
        // Online accounts are added through the service: without it the
        // bookings stay here, and the banner says so.
        if (!c.notice)
            EXPECT_EQ(s.banner(), c.service ? "日历双向同步已开启，档期存在本机日历；在系统设置中添加在线日历账户即可同步到手机"
                                            : "日历双向同步已开启，档期只保存在这台电脑上，不会同步到手机");
        QFile syncLog(s.sync.logFilePath());
        syncLog.open(QIODevice::ReadOnly);
        EXPECT_EQ(syncLog.readAll().contains("系统日历服务暂不可用"), c.notice);
    }
}

}
