// A backup restored over a book whose events are in the calendar, over the
// in-memory calendar: the calendar follows the restored book at the next
// refresh, whatever was still waiting or restored before it.

#include "OrderbookFixture.h"

#include "InMemoryCalendarStore.h"
#include "orderbook/BackupManager.h"
#include "orderbook/CalendarSyncManager.h"
#include "orderbook/OrderManager.h"
#include "platform/UserNotificationCenter.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTest>

namespace {

// The calendar sync over the app's own preference and order stores, which a
// backup exports and restores.
class CalendarRestoreTest : public OrderbookFixture
{
protected:
    void SetUp() override
    {
        OrderbookFixture::SetUp();
        notifications = std::make_unique<UserNotificationCenter>(dir.path() + "/pending.json",
                                                                 QDBusConnection(QStringLiteral("no-bus")));
        manager = std::make_unique<CalendarSyncManager>(calendar, *notifications, UserDefaults::standard(), book);
        settle(); // the deferred permission checks
    }
    void TearDown() override
    {
        manager.reset();
        OrderbookFixture::TearDown();
    }

    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    // A refresh, and whatever it queues: the write-back of imported events
    // comes half a second later.
    void refresh()
    {
        manager->refreshEvents();
        settle();
        QTest::qWait(700);
        settle();
    }

    // A booking stored with its event written, as the schedule screen saves one.
    Order booked(const QString& name)
    {
        const QDateTime shoot(QDate::currentDate().addDays(2), QTime(15, 0));
        const Order o(name, "", "标准套系", shoot, shoot, ShootTimeSlot::afternoon, 3000, 500, {}, "",
                      OrderStatus::pendingShoot, true, QString("提前1天"), "", false);
        EXPECT_TRUE(book.addOrder(o));
        manager->syncOrder(o, [&](const std::optional<QString>& event) {
            EXPECT_TRUE(event);
            if (event)
                book.setCalendarEventIdentifiers({{o.id, *event}});
        });
        settle();
        return *book.order(o.id);
    }
    QString backup(const QString& name) const
    {
        const QString path = dir.path() + "/" + name + ".kvbak";
        EXPECT_TRUE(BackupManager::shared().exportBackup(path, false, false, false, false));
        return path;
    }
    static void restore(const QString& path)
    {
        const BackupManager::ImportResult result = BackupManager::shared().importBackup(path);
        ASSERT_TRUE(result.success) << result.message.toStdString();
    }

    // The book's customers, and the calendar's events by the customer of the
    // order each names, sorted.
    std::string customers() const
    {
        QStringList names;
        for (const Order& o : book.orders())
            names << o.customerName;
        names.sort();
        return names.join(", ").toStdString();
    }
    std::string eventsByCustomer() const
    {
        QStringList names;
        for (const CalendarEvent& e : calendar.events(QDateTime::currentDateTime().addYears(-1),
                                                      QDateTime::currentDateTime().addYears(1)))
            names << e.title.section(" - ", 0, 0) + (e.orderIdentifier.isEmpty() ? "(no order)" : "");
        names.sort();
        return names.join(", ").toStdString();
    }

    InMemoryCalendarStore calendar;
    OrderManager& book = OrderManager::shared();
    std::unique_ptr<UserNotificationCenter> notifications;
    std::unique_ptr<CalendarSyncManager> manager;
};

// The calendar could not remove a deleted booking's event when a backup
// brought the booking back: its event is its own again, neither removed nor
// imported as a second booking, and nothing waits.
TEST_F(CalendarRestoreTest, ARestoredBookingKeepsTheEventItsDeleteCouldNotRemove)
{
    const Order o = booked("蒋甲");
    const QString event = *o.calendarEventIdentifier;
    const QString saved = backup("before-delete");
    calendar.setFailure(QStringLiteral("系统日历服务没有响应"));
    ASSERT_TRUE(book.deleteOrder(o));
    settle();
    calendar.setFailure(std::nullopt);
    ASSERT_EQ(manager->pendingCalendarWork(), 1) << "the removal waits";
    ASSERT_TRUE(calendar.event(event));

    restore(saved);
    refresh();
    EXPECT_EQ(customers(), "蒋甲");
    EXPECT_EQ(eventsByCustomer(), "蒋甲");
    EXPECT_TRUE(calendar.event(event));
    EXPECT_EQ(book.order(o.id)->calendarEventIdentifier, event);
    EXPECT_EQ(manager->pendingCalendarWork(), 0);
    EXPECT_FALSE(UserDefaults::standard().hasStoredValue(OrderbookKeys::pendingCalendarWork));
}

// Two backups restored one after the other with no refresh between: the
// calendar follows the last one, and the events of the book the first one
// replaced go too, never coming back as bookings.
TEST_F(CalendarRestoreTest, TwoRestoresWithoutARefreshBetweenLeaveOnlyTheLastBooksEvents)
{
    const Order first = booked("乙");
    const QString withFirst = backup("first");
    ASSERT_TRUE(book.deleteOrder(first));
    const Order second = booked("丙");
    const QString withSecond = backup("second");
    ASSERT_TRUE(book.deleteOrder(second));
    const Order replaced = booked("甲");
    ASSERT_EQ(eventsByCustomer(), "甲");

    restore(withFirst);
    restore(withSecond);
    EXPECT_EQ(customers(), "丙");
    refresh();
    EXPECT_EQ(customers(), "丙") << "an event of a replaced book came back as a booking";
    EXPECT_EQ(eventsByCustomer(), "丙");
    EXPECT_FALSE(calendar.event(*replaced.calendarEventIdentifier));
    const std::optional<Order> restored = book.order(second.id);
    ASSERT_TRUE(restored && restored->calendarEventIdentifier);
    EXPECT_TRUE(calendar.event(*restored->calendarEventIdentifier));
    EXPECT_EQ(manager->pendingCalendarWork(), 0);
}

}
