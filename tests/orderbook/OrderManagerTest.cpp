#include "OrderbookFixture.h"
#include "SaveFaults.h"

#include "orderbook/OrderManager.h"

#include <QSignalSpy>

#include <cerrno>

namespace {

class OrderManagerTest : public OrderbookFixture
{
protected:
    static QDateTime today(int h = 12) { return QDateTime(QDate::currentDate(), QTime(h, 0)); }
    static QDateTime yesterday() { return QDateTime(QDate::currentDate().addDays(-1), QTime(23, 59)); }

    // Adds an order with `total` shot at `shoot`, then payments; returns the stored status.
    OrderStatus statusAfterPayments(const QDateTime& shoot, double total, const QList<double>& payments)
    {
        OrderManager manager(*store);
        const Order o = order("客户", shoot, total);
        manager.addOrder(o);
        for (double amount : payments)
            EXPECT_TRUE(manager.addPayment(o, amount, "尾款"));
        return manager.orders().last().status;
    }
};

TEST_F(OrderManagerTest, PaymentsSetTheStatusByAmountAndShootDay)
{
    EXPECT_EQ(statusAfterPayments(today(0), 1000, {300}), OrderStatus::pendingShoot) << "today is not past";
    EXPECT_EQ(statusAfterPayments(yesterday(), 1000, {300}), OrderStatus::pendingBalance);
    EXPECT_EQ(statusAfterPayments(yesterday(), 1000, {300, 700}), OrderStatus::completed);
    EXPECT_EQ(statusAfterPayments(today(), 0, {100}), OrderStatus::pendingShoot) << "a total of 0 never completes";
    EXPECT_EQ(statusAfterPayments(yesterday(), 0, {100}), OrderStatus::pendingBalance);
    EXPECT_EQ(statusAfterPayments(today(), 0, {0}), OrderStatus::pendingDeposit);
    EXPECT_EQ(statusAfterPayments(today(), 1000.1, {300.05, 700.05}), OrderStatus::completed)
        << "settled in whole cents despite the binary sum";
}

TEST_F(OrderManagerTest, PaymentWorksOnTheStoredCopyAndRevivesCancelledOrders)
{
    OrderManager manager(*store);
    Order o = order("客户", today(), 1000, {}, OrderStatus::cancelled);
    manager.addOrder(o);
    Order stale = o;
    stale.customerName = "改过的名字";
    stale.totalAmount = 1;
    ASSERT_TRUE(manager.addPayment(stale, 200, "定金"));
    const Order& kept = manager.orders().first();
    EXPECT_EQ(kept.customerName, "客户");
    EXPECT_EQ(kept.status, OrderStatus::pendingShoot);
    ASSERT_EQ(kept.payments.size(), 1);
    EXPECT_EQ(kept.payments.first().note, "定金");
    EXPECT_LE(qAbs(kept.payments.first().date.secsTo(QDateTime::currentDateTime())), 5);
    EXPECT_EQ(storedArray(OrderbookKeys::orders).first()["payments"].toArray().size(), 1);

    // Operations on an order the list does not hold write nothing.
    const QByteArray before = stored(OrderbookKeys::orders);
    QSignalSpy changed(store.get(), &UserDefaults::changed);
    const Order stranger = order("陌生人", today(), 1);
    EXPECT_FALSE(manager.updateOrder(stranger));
    EXPECT_FALSE(manager.addPayment(stranger, 10, ""));
    EXPECT_FALSE(manager.markShootCompleted(stranger));
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(stored(OrderbookKeys::orders), before);
}

TEST_F(OrderManagerTest, MarkShootCompletedFollowsTheOpenBalance)
{
    OrderManager manager(*store);
    auto statusWith = [&](double received) {
        Order o = order("客户", today(), 1000, {PaymentRecord(received, today(), "")}, OrderStatus::pendingShoot);
        manager.addOrder(o);
        manager.markShootCompleted(o);
        return manager.orders().last().status;
    };
    // A balance below one cent is settled.
    for (const auto& [received, status] : {std::pair{1000.0, OrderStatus::completed}, {1200.0, OrderStatus::completed},
                                           {400.0, OrderStatus::pendingBalance}, {999.999, OrderStatus::completed}})
        EXPECT_EQ(statusWith(received), status) << received;
}

TEST_F(OrderManagerTest, DuplicateIdsChangeFirstButDeleteRemovesAll)
{
    OrderManager manager(*store);
    const Order a = order("甲", today(), 1000);
    Order edited = a;
    edited.note = "改";
    manager.addOrder(a);
    manager.addOrder(a);
    manager.updateOrder(edited);
    manager.addPayment(a, 1000, "");
    EXPECT_EQ(manager.orders()[0].note, "改");
    EXPECT_EQ(manager.orders()[0].status, OrderStatus::completed);
    EXPECT_EQ(manager.orders()[1], a);

    QList<Order> handed;
    manager.setCalendarEventDeleter([&](const QList<Order>& going) { handed += going; });
    QSignalSpy spy(&manager, &OrderManager::ordersChanged);
    manager.deleteOrder(a);
    EXPECT_TRUE(manager.orders().isEmpty());
    EXPECT_EQ(handed.size(), 2) << "every stored copy is handed over, event or not";
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(stored(OrderbookKeys::orders), "[]");

    Order linked = order("丙", today(), 1);
    linked.calendarEventIdentifier = "";
    manager.addOrder(linked);
    manager.deleteOrder(linked);
    EXPECT_EQ(handed.last().calendarEventIdentifier, "") << "even an empty identifier is handed over";
}

TEST_F(OrderManagerTest, DayLimitAndFullDays)
{
    OrderManager manager(*store);
    EXPECT_EQ(manager.maxOrdersPerDay(), 10);
    for (qint64 v : {0LL, -3LL, 2LL}) {
        store->set(OrderbookKeys::maxOrdersPerDay, v);
        EXPECT_EQ(manager.maxOrdersPerDay(), v > 0 ? v : 10) << v;
    }

    const QDate day(2026, 7, 8);
    manager.addOrder(order("甲", QDateTime(day, QTime(0, 0)), 100));
    EXPECT_FALSE(manager.isDayFull(day));
    Order cancelledTbd = order("乙", QDateTime(day, QTime(23, 59, 59)), 100, {}, OrderStatus::cancelled);
    cancelledTbd.isShootDateTBD = true;
    manager.addOrder(cancelledTbd);
    manager.addOrder(order("丙", QDateTime(day.addDays(1), QTime(0, 0)), 100));
    EXPECT_TRUE(manager.isDayFull(day)) << "cancelled and undecided orders count";
    EXPECT_TRUE(manager.isDayFull(QDateTime(day, QTime(18, 0))));
    EXPECT_FALSE(manager.isDayFull(day.addDays(1)));
    EXPECT_EQ(manager.ordersFor(day).size(), 2);
    EXPECT_EQ(manager.ordersFor(day)[1].customerName, "乙");

    // The day index follows every change of the list.
    manager.deleteOrder(manager.orders().first());
    EXPECT_FALSE(manager.isDayFull(day));
    Order moved = manager.orders().last();
    moved.shootDate = QDateTime(day, QTime(9, 0));
    manager.updateOrder(moved);
    EXPECT_TRUE(manager.isDayFull(day));
    EXPECT_TRUE(manager.ordersFor(day.addDays(1)).isEmpty());
}

TEST_F(OrderManagerTest, RestDaysToggleByLocalDayAndKeepTheirOrder)
{
    OrderManager manager(*store);
    const QDate d1(2026, 3, 10), d2(2026, 3, 12), d3(2026, 3, 11);
    manager.toggleRestDay(QDateTime(d1, QTime(18, 0)));
    EXPECT_EQ(manager.restDays().first().date, QDateTime(d1, QTime(0, 0)));
    EXPECT_TRUE(manager.isRestDay(QDateTime(d1, QTime(9, 0))));
    EXPECT_FALSE(manager.isRestDay(d1.addDays(1)));
    manager.toggleRestDay(QDateTime(d1, QTime(23, 30)));
    EXPECT_FALSE(manager.isRestDay(d1));
    EXPECT_EQ(stored(OrderbookKeys::restDays), "[]");

    manager.toggleRestDay(d1);
    manager.toggleRestDay(d2);
    manager.toggleRestDay(d3);
    const QUuid first = manager.restDays()[0].id, third = manager.restDays()[2].id;
    manager.toggleRestDay(d2);
    ASSERT_EQ(manager.restDays().size(), 2);
    EXPECT_EQ(manager.restDays()[0].id, first);
    EXPECT_EQ(manager.restDays()[1].id, third);
    EXPECT_NE(first, third);
    EXPECT_EQ(OrderManager(*store).restDays(), manager.restDays());
}

TEST_F(OrderManagerTest, FreshStoreWritesNothingAndLoadKeepsListsWhenKeysAreAbsentOrUnreadable)
{
    OrderManager manager(*store);
    EXPECT_TRUE(manager.orders().isEmpty() && manager.restDays().isEmpty());
    EXPECT_FALSE(store->hasStoredValue(OrderbookKeys::orders) || store->hasStoredValue(OrderbookKeys::restDays));
    manager.addOrder(order("甲", today(), 100));
    store->remove(OrderbookKeys::orders);
    store->set(OrderbookKeys::restDays, QByteArray("[{\"id\":1}]"));
    QSignalSpy spy(&manager, &OrderManager::ordersChanged);
    manager.load();
    EXPECT_EQ(manager.orders().size(), 1);
    EXPECT_EQ(spy.count(), 0);

    OrderManager other(*store);
    other.addOrder(order("乙", today(), 1));
    other.addOrder(order("丙", today(), 1));
    manager.load();
    EXPECT_EQ(manager.orders().size(), 2);
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(OrderManagerTest, NewOrderTakesTheDefaultReminderLabel)
{
    EXPECT_EQ(Order::blank().reminderRule, "提前1天");
    UserDefaults::standard().set("scheduleReminderDefault", "提前3天");
    const Order o("甲", "", "", today(), today(), ShootTimeSlot::afternoon, 0, 0, {}, "",
                  OrderStatus::pendingDeposit, true, std::nullopt, "", false);
    EXPECT_EQ(o.reminderRule, "提前3天");
    EXPECT_FALSE(o.id.isNull());
    EXPECT_NE(o.id, Order::blank().id);
    UserDefaults::standard().remove("scheduleReminderDefault");
}

TEST_F(OrderManagerTest, StoredBytesAlwaysMatchTheWholeList)
{
    OrderManager manager(*store);
    auto matches = [&] { return stored(OrderbookKeys::orders) == *OrderCodec::encodeOrders(manager.orders()); };
    QList<Order> made;
    for (int i = 0; i < 5; ++i) {
        made.append(order(QString("客户%1").arg(i), today().addDays(i), 100 * (i + 1)));
        manager.addOrder(made.last());
    }
    EXPECT_TRUE(matches());
    manager.addPayment(made[1], 50, "定金");
    EXPECT_TRUE(matches());
    manager.deleteOrder(made[0]);
    EXPECT_TRUE(matches());
    Order edited = made[3];
    edited.note = "改,了";
    manager.updateOrder(edited);
    manager.markShootCompleted(made[4]);
    EXPECT_TRUE(matches());
    QList<Order> reordered = manager.orders();
    std::reverse(reordered.begin(), reordered.end());
    manager.setOrders(reordered);
    manager.save();
    EXPECT_TRUE(matches());
    for (int i = 0; i < 4; ++i)
        manager.addOrder(order(QString("补%1").arg(i), today(), 10));
    manager.deleteOrders({manager.orders()[1].id, manager.orders()[2].id, manager.orders()[3].id});
    EXPECT_TRUE(matches());
    EXPECT_EQ(OrderManager(*store).orders(), manager.orders());
    EXPECT_EQ(UserDefaults(store->filePath()).data(OrderbookKeys::orders), *OrderCodec::encodeOrders(manager.orders()));
}

// One write: when the orders key is announced, the rest days are stored too.
TEST_F(OrderManagerTest, AnAddWritesOrdersAndRestDaysTogether)
{
    OrderManager manager(*store);
    QByteArrayList seen;
    QObject::connect(store.get(), &UserDefaults::changed, [&] { seen << stored(OrderbookKeys::restDays); });
    manager.addOrder(order("甲", today(), 100));
    EXPECT_EQ(seen, QByteArrayList({"[]", "[]"}));
}

// Every change the disk refuses leaves both lists as they were, in memory
// and on disk, says why, and is not written by the next save that succeeds.
TEST_F(OrderManagerTest, EveryChangeTheDiskRefusesIsUndone)
{
    struct Case {
        const char* what;
        std::function<bool(OrderManager&, const Order& first, const Order& second)> change;
    };
    const QList<Case> cases = {
        {"update", [](OrderManager& m, const Order& first, const Order&) {
             Order edited = first;
             edited.customerName = "改名";
             edited.totalAmount = 9999;
             return m.updateOrder(edited);
         }},
        {"payment", [](OrderManager& m, const Order& first, const Order&) { return m.addPayment(first, 500, "尾款"); }},
        {"shoot completed", [](OrderManager& m, const Order&, const Order& second) { return m.markShootCompleted(second); }},
        {"delete", [](OrderManager& m, const Order& first, const Order&) { return m.deleteOrder(first); }},
        {"delete several", [](OrderManager& m, const Order& first, const Order& second) {
             return m.deleteOrders({first.id, second.id}) > 0;
         }},
        {"rest day marked", [](OrderManager& m, const Order&, const Order&) { return m.toggleRestDay(QDate(2026, 6, 9)); }},
        {"rest day unmarked", [](OrderManager& m, const Order&, const Order&) { return m.toggleRestDay(QDate(2026, 6, 8)); }},
        {"batch add", [this](OrderManager& m, const Order&, const Order&) {
             return !m.addOrders({order("日历甲", local(2026, 6, 10), 300), order("日历乙", local(2026, 6, 11), 300)}).isEmpty();
         }},
        {"event identifiers", [](OrderManager& m, const Order& first, const Order&) {
             return m.setCalendarEventIdentifiers({{first.id, "EVT-1"}}) > 0;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        store->remove(OrderbookKeys::orders);
        store->remove(OrderbookKeys::restDays);
        OrderManager manager(*store);
        QList<QString> deleted;
        manager.setCalendarEventDeleter([&](const QList<Order>& going) {
            for (const Order& o : going)
                deleted << o.customerName;
        });
        const Order first = order("甲", local(2026, 6, 1), 2000, {PaymentRecord(300, local(2026, 5, 1), "定金")},
                                  OrderStatus::pendingShoot);
        const Order second = order("乙", local(2026, 6, 2), 1000);
        ASSERT_TRUE(manager.addOrder(first) && manager.addOrder(second) && manager.toggleRestDay(QDate(2026, 6, 8)));
        const QList<Order> orders = manager.orders();
        const QList<RestDay> restDays = manager.restDays();
        const auto disk = [this] {
            UserDefaults read(store->filePath());
            return read.data(OrderbookKeys::orders).value_or("") + "|" + read.data(OrderbookKeys::restDays).value_or("");
        };
        const QByteArray onDisk = disk();
        QSignalSpy failed(&manager, &OrderManager::saveFailed);
        {
            SaveFaults::Fail fail(Paths::SaveStep::Write, 0, ENOSPC);
            EXPECT_FALSE(c.change(manager, first, second));
        }
        ASSERT_EQ(failed.count(), 1);
        EXPECT_EQ(failed.first().first().toString(), "磁盘空间不足");
        EXPECT_EQ(manager.orders(), orders);
        EXPECT_EQ(manager.restDays(), restDays);
        EXPECT_TRUE(deleted.isEmpty()) << "an order the disk kept keeps its event";
        EXPECT_EQ(disk(), onDisk);

        ASSERT_TRUE(manager.addOrder(order("丙", local(2026, 6, 3), 500)));
        const OrderManager reread(*store);
        EXPECT_EQ(reread.orders(), orders + QList<Order>{manager.orders().last()});
        EXPECT_EQ(reread.restDays(), restDays);
    }
}

}
