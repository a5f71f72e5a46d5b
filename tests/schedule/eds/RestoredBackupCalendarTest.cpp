// A backup restored over an order book whose events are on a CalDAV server:
// at the next start the server follows the restored book, and what the
// restore took away never comes back from the calendar as an order.

#include "EdsTestService.h"
#include "ScheduleSession.h"
#include "ServiceSessionTest.h"

#include "TestEnv.h"
#include "orderbook/BackupManager.h"
#include "orderbook/OrderCodec.h"
#include "platform/EdsCalendarStore.h"
#include "schedule/ScheduleOrderFlows.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// The order ids the server's events name, each as often as it is named;
// events naming none are left out.
QString namedOrders(const RadicaleServer& server)
{
    QStringList out;
    const QHash<QString, QList<QByteArray>> byOrder = server.eventsByOrder();
    for (auto it = byOrder.cbegin(); it != byOrder.cend(); ++it) {
        for (qsizetype i = 0; !it.key().isEmpty() && i < it->size(); ++i)
            out << it.key();
    }
    out.sort();
    return out.join(", ");
}

QString ids(std::initializer_list<QUuid> orders)
{
    QStringList out;
    for (const QUuid& id : orders)
        out << OrderCodec::uuidText(id);
    out.sort();
    return out.join(", ");
}

using RestoredBackupCalendarTest = ServiceSessionTest;

TEST_F(RestoredBackupCalendarTest, TheServerFollowsTheRestoredBookAndItsRemovalsStayRemoved)
{
    RadicaleServer server("restore");
    ASSERT_TRUE(server.running());
    EdsTestService::instance().addCalDavCalendar(CalendarSyncManager::calendarName(), server.port(), server.calendarPath());
    std::unique_ptr<EdsCalendarStore> service = EdsTestService::instance().store();
    // Inside the days the calendar is read back from, so an event no order
    // holds would be imported.
    const QDate day = QDate::currentDate().addDays(2);
    const Order deleted = ScheduleSession::booking("蒋甲", day, 300);
    const Order kept = ScheduleSession::booking("沈乙", day, 300);
    const Order later = ScheduleSession::booking("韩丙", day, 300);
    const QString backup = root + "/backup.json";
    {
        ScheduleSession s(*service, UserDefaults::standard(), OrderManager::shared(), root);
        ASSERT_TRUE(s.view.flows().saveOrder(deleted, false));
        ASSERT_TRUE(s.view.flows().saveOrder(kept, false));
        ASSERT_TRUE(QTest::qWaitFor([&] { return namedOrders(server) == ids({deleted.id, kept.id}); }, 5000));
        ASSERT_TRUE(BackupManager::shared().exportBackup(backup, false, false, false, false));
        ASSERT_TRUE(s.orders.deleteOrder(*s.orders.order(deleted.id)));
        ASSERT_TRUE(s.view.flows().saveOrder(later, false));
        ASSERT_TRUE(QTest::qWaitFor([&] { return namedOrders(server) == ids({kept.id, later.id}); }, 5000));
        const BackupManager::ImportResult restored = BackupManager::shared().importBackup(backup);
        ASSERT_TRUE(restored.success) << restored.message.toStdString();
        ASSERT_TRUE(s.orders.order(deleted.id));
        ASSERT_FALSE(s.orders.order(later.id));
    }
    // Entered on the phone meanwhile: no book ever held it.
    const QByteArray phoneEntered = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//EN\r\nBEGIN:VEVENT\r\n"
                                    "UID:entered-on-the-phone\r\nDTSTAMP:20260101T000000Z\r\nDTSTART:"
        + day.toString("yyyyMMdd").toUtf8() + "T100000\r\nDTEND:" + day.toString("yyyyMMdd").toUtf8()
        + "T120000\r\nSUMMARY:周丁 - 标准套系\r\nDESCRIPTION:周丁-13800000000-定金200\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    ASSERT_TRUE(server.put(server.calendarPath() + "entered-on-the-phone.ics", phoneEntered));

    SCOPED_TRACE("restarted as the import asks");
    ScheduleSession s(*service, UserDefaults::standard(), OrderManager::shared(), root);
    EXPECT_TRUE(QTest::qWaitFor([&] { return namedOrders(server) == ids({deleted.id, kept.id}); }, 10000))
        << namedOrders(server).toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.sync.pendingCalendarWork() == 0; }, 10000));
    EXPECT_EQ(s.bannerState(), CalendarSyncStatusBar::State::synced) << s.banner().toStdString();
    // Each restored order holds the event the server has for it.
    for (const Order& o : s.orders.orders())
        EXPECT_TRUE(o.calendarEventIdentifier && service->event(*o.calendarEventIdentifier)) << o.customerName.toStdString();
    // The phone's event still comes in as an order, as any other would.
    service->refreshFromServers();
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.orders.orders().size() == 3; }, 10000));
    s.settle(700); // past the write-back of what was imported
    QStringList names;
    for (const Order& o : s.orders.orders())
        names << o.customerName;
    names.sort();
    EXPECT_EQ(names.join(", ").toStdString(), "周丁, 沈乙, 蒋甲");
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return namedOrders(server) == ids({deleted.id, kept.id, s.orders.orders().last().id});
    }, 5000)) << namedOrders(server).toStdString();
    EXPECT_EQ(server.report().size(), 3);
    QFile log(s.sync.logFilePath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("日历已按恢复的备份对齐：写入 2 个事件，移除 1 个事件"));
}

}
