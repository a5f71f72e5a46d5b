#include "orderbook/OrderbookFixture.h"

#include "orderbook/OrderManager.h"
#include "orderbook/OrderbookKeys.h"
#include "schedule/CalendarBatchSelection.h"
#include "schedule/ScheduleCalendarModel.h"

#include <QSignalSpy>

namespace {

class CalendarBatchSelectionTest : public OrderbookFixture
{
protected:
    void SetUp() override
    {
        OrderbookFixture::SetUp();
        orders = std::make_unique<OrderManager>(*store);
        orders->setCalendarEventDeleter([this](const QList<Order>& going) {
            for (const Order& o : going)
                deletedEvents.append(o.calendarEventIdentifier.value_or(""));
        });
        model = std::make_unique<ScheduleCalendarModel>(*orders, *store);
        model->setCurrentMonth({2026, 3, 1});
        batch = std::make_unique<CalendarBatchSelection>(*model);
    }
    Order add(const QString& name, const QDate& day, OrderStatus status = OrderStatus::pendingDeposit,
              const QString& package = "标准套系", const QString& event = {})
    {
        Order o = order(name, QDateTime(day, QTime(23, 30)), 1000, {}, status);
        o.packageType = package;
        if (!event.isEmpty())
            o.calendarEventIdentifier = event;
        orders->addOrder(o);
        return o;
    }
    QSet<QUuid> ids(std::initializer_list<Order> list) const
    {
        QSet<QUuid> out;
        for (const Order& o : list)
            out.insert(o.id);
        return out;
    }
    static QDate march(int d) { return {2026, 3, d}; }

    std::unique_ptr<OrderManager> orders;
    std::unique_ptr<ScheduleCalendarModel> model;
    std::unique_ptr<CalendarBatchSelection> batch;
    QStringList deletedEvents;
};

TEST_F(CalendarBatchSelectionTest, PickingTakesOnlyOrdersPassingTheFilters)
{
    const Order a = add("甲", march(3)), cancelled = add("乙", march(5), OrderStatus::cancelled),
                c = add("丙", march(7), OrderStatus::pendingShoot), d = add("丁", march(1));
    batch->setFilterStatus("待付定金");
    batch->toggleBatchMode();
    EXPECT_EQ(batch->selectedOrderIds(), ids({a, d})) << "hidden orders are not picked on entry";
    batch->toggleBatchMode();
    EXPECT_TRUE(batch->selectedOrderIds().isEmpty() && batch->selectedDates().isEmpty());
    EXPECT_EQ(batch->filterStatus(), "待付定金");

    batch->setFilterStatus(CalendarBatchSelection::allFilter());
    batch->toggleBatchMode();
    batch->dayClicked(march(3), false);
    batch->dayClicked(march(7), true);
    EXPECT_EQ(batch->selectedDates().size(), 5);
    batch->dayClicked(march(1), true);
    EXPECT_EQ(batch->selectedDates().size(), 7) << "a range never drops days";
    EXPECT_EQ(batch->selectedOrderIds(), ids({a, cancelled, c, d}));
    batch->dayClicked(march(3), false);
    EXPECT_FALSE(batch->selectedOrderIds().contains(a.id));

    // 30 of 31 days picked: the key picks the last, then clears everything.
    batch->deselectAllCurrentMonth();
    for (int d = 1; d <= 30; ++d)
        batch->dayClicked(march(d), false);
    const Order last = add("戊", march(31));
    EXPECT_TRUE(batch->selectAllKeyPressed());
    EXPECT_TRUE(batch->isCurrentMonthAllSelected());
    EXPECT_TRUE(batch->selectedOrderIds().contains(last.id));
    batch->dayClicked({2026, 4, 2}, false);
    EXPECT_EQ(batch->selectedDates(), QSet<QDate>{QDate(2026, 4, 2)}) << "a free day starts over";
    batch->selectAllKeyPressed();
    batch->dayClicked({2026, 4, 2}, false);
    batch->selectAllKeyPressed();
    EXPECT_TRUE(batch->selectedDates().isEmpty() && batch->selectedOrderIds().isEmpty());
    batch->toggleBatchMode();
    EXPECT_FALSE(batch->selectAllKeyPressed()) << "the key does nothing outside batch mode";
}

TEST_F(CalendarBatchSelectionTest, DaysThatStartAfterMidnightArePickedToo)
{
    pinTimeZone("America/Santiago"); // 2026-09-06 starts at 01:00
    model->setCurrentMonth({2026, 9, 1});
    const Order sixth = add("甲", {2026, 9, 6});
    batch->toggleBatchMode();
    batch->deselectAllCurrentMonth();
    batch->dayClicked({2026, 9, 5}, false);
    batch->dayClicked({2026, 9, 8}, true);
    EXPECT_EQ(batch->selectedDates().size(), 4);
    EXPECT_TRUE(batch->selectedOrderIds().contains(sixth.id));
    batch->deselectAllCurrentMonth();
    batch->selectAllKeyPressed();
    EXPECT_TRUE(batch->selectedDates().contains({2026, 9, 6}));
    EXPECT_TRUE(batch->selectedOrderIds().contains(sixth.id));
}

TEST_F(CalendarBatchSelectionTest, ListsFiltersAndSelectAll)
{
    EXPECT_FALSE(CalendarBatchSelection::batchStatusOptions().contains("已取消"));
    EXPECT_TRUE(batch->selectedOrders().isEmpty()) << "first empty state";
    const Order a = add("甲", march(3), OrderStatus::pendingShoot, "婚纱"),
                b = add("乙", march(4), OrderStatus::pendingDeposit, ""), c = add("丙", march(5), OrderStatus::completed, "写真");
    add("丁", {2026, 4, 1});
    EXPECT_EQ(batch->batchPackageOptions(), (QStringList{"全部", "", "写真", "婚纱"}));
    batch->setFilterPackage("毕业照");
    EXPECT_FALSE(batch->selectedOrders().isEmpty());
    EXPECT_TRUE(batch->filteredBatchOrders().isEmpty()) << "second empty state";
    EXPECT_FALSE(batch->allSelectedOrdersChecked());

    batch->setFilterPackage("婚纱");
    batch->toggleBatchMode();
    batch->toggleOrder(b.id);
    batch->setFilterPackage(CalendarBatchSelection::allFilter());
    batch->setFilterStatus("已结清");
    batch->toggleSelectAll();
    EXPECT_EQ(batch->selectedOrderIds(), ids({a, b, c})) << "select-all keeps unlisted ids";
    batch->toggleSelectAll();
    EXPECT_EQ(batch->selectedOrderIds(), ids({a, b}));
}

TEST_F(CalendarBatchSelectionTest, PendingBalancePanel)
{
    QList<Order> list;
    for (int i = 0; i < 12; ++i) {
        Order o = order(QString::number(i), local(2026, 3, 8), 3000, {PaymentRecord(i == 0 ? 3000 : 300, local(2026, 3, 1), "")},
                        OrderStatus::pendingBalance);
        list.append(o);
    }
    orders->setOrders(list);
    const QList<Order> pending = CalendarBatchSelection::pendingBalanceOrders(orders->orders());
    ASSERT_EQ(pending.size(), 10);
    EXPECT_EQ(pending.first().customerName, "1") << "fully paid orders are left out";
    EXPECT_EQ(pending.last().customerName, "10");
    EXPECT_EQ(CalendarBatchSelection::pendingBalanceDetail(pending.first()), "¥2700 · 03-08");
}

TEST_F(CalendarBatchSelectionTest, ClicksAndBadgesAskForTheRightSheet)
{
    using K = CalendarRequest::Kind;
    EXPECT_EQ(batch->dayClicked({2020, 1, 2}, false).kind, K::newOrder) << "past free days take orders";
    orders->toggleRestDay(march(2));
    store->set(OrderbookKeys::maxOrdersPerDay, 1);
    const Order one = add("甲", march(3));
    EXPECT_EQ(batch->dayClicked(march(2), false).kind, K::none);
    EXPECT_EQ(batch->dayClicked(march(3), false).kind, K::none);

    const ShootEvent ev{"EV1", "拍摄", QDateTime(march(9), QTime(9, 0)), {}, {}, {}};
    model->setShootEvents({ev, {"EV2", "拍摄", QDateTime(march(3), QTime(9, 0)), {}, {}, {}}});
    add("乙", march(5));
    add("丙", march(5));
    const struct { QDate day; QString search; K kind; int listed; } cases[] = {
        {march(9), "", K::importEvent, 0}, {march(5), "", K::selectOrders, 2},
        {march(3), "", K::selectOrders, 1}, // one order and one event: the event is not offered
        {march(5), "丙", K::selectOrders, 1}, {march(5), "无此人", K::none, 0},
    };
    for (const auto& c : cases) {
        const CalendarRequest r = batch->badgeClicked(c.day, c.search);
        EXPECT_EQ(r.kind, c.kind) << c.day.day() << c.search.toStdString();
        EXPECT_EQ(r.orders.size(), c.listed);
        EXPECT_EQ(r.date, c.day);
    }
    model->setShootEvents({});
    EXPECT_EQ(batch->badgeClicked(march(3), "").kind, K::editOrder);
    EXPECT_EQ(batch->badgeClicked(march(3), "").order->id, one.id);
    EXPECT_EQ(batch->badgeClicked(march(3), "甲").kind, K::selectOrders) << "a search always lists";
    EXPECT_TRUE(batch->isEmphasised(march(1), true));
    EXPECT_FALSE(batch->isEmphasised(march(1), false));
}

TEST_F(CalendarBatchSelectionTest, MenusAndDeletes)
{
    using A = DayMenuEntry::Action;
    auto actions = [&](const QDate& day) {
        QList<A> out;
        for (const DayMenuEntry& e : batch->dayMenu(day))
            out.append(e.action);
        return out;
    };
    orders->toggleRestDay(march(1));
    EXPECT_EQ(batch->dayMenu(march(1)).first().text, "取消闭档");
    EXPECT_EQ(actions(march(2)), QList<A>{A::toggleRestDay});
    const Order single = add("甲", march(3), OrderStatus::pendingDeposit, "", "EV-A");
    EXPECT_EQ(actions(march(3)), (QList<A>{A::toggleRestDay, A::viewOrders, A::deleteOrder}));
    const Order b = add("乙", march(4), OrderStatus::pendingDeposit, "", "EV-B");
    add("丙", march(4));
    add("丁", march(4));
    EXPECT_EQ(actions(march(4)), (QList<A>{A::toggleRestDay, A::viewOrders, A::deleteOrder, A::deleteOrder,
                                           A::deleteOrder, A::divider, A::deleteDay}));
    EXPECT_EQ(batch->dayMenu(march(4)).last().text, "删除全部 3 个订单");
    EXPECT_EQ(CalendarBatchSelection::singleDeleteConfirmation(single).message,
              "客户：甲\n删除后同时移除手机日历中的对应事件，此操作不可恢复。");

    // The menu's copy is stale: the stored order's current event is the one deleted.
    Order refreshed = single;
    refreshed.calendarEventIdentifier = "EV-A2";
    orders->updateOrder(refreshed);
    Order twin = b;
    twin.customerName = "乙二";
    orders->setOrders(QList<Order>(orders->orders()) << twin);
    EXPECT_EQ(batch->deleteOrders({single.id, b.id, QUuid::createUuid()}), 3) << "both orders with one id go";
    EXPECT_EQ(deletedEvents, (QStringList{"EV-A2", "EV-B", "EV-B"}));
    EXPECT_EQ(storedArray(OrderbookKeys::orders).size(), 2);

    batch->toggleBatchMode();
    batch->selectAllKeyPressed();
    batch->toggleOrder(QUuid::createUuid()); // an id no order holds any more
    EXPECT_EQ(batch->batchDeleteConfirmation().message, "确定删除选中的 2 条订单吗？删除后不可恢复");
    EXPECT_EQ(batch->batchDelete(), "成功删除 2 条订单");
    EXPECT_FALSE(batch->isBatchMode());
    EXPECT_TRUE(batch->selectedOrderIds().isEmpty());
    EXPECT_EQ(storedArray(OrderbookKeys::orders).size(), 0);
}

TEST_F(CalendarBatchSelectionTest, EventCheckRefillsOnlyTheSheetStillShowingItsDay)
{
    const Order a = add("甲", march(3));
    model->setShootEvents({{"EV1", "拍摄", QDateTime(march(3), QTime(9, 0)), {}, {}, {}}});
    QSignalSpy refilled(batch.get(), &CalendarBatchSelection::ordersForSelectionRefilled);
    batch->startEventCheck(march(4));
    EXPECT_FALSE(batch->isSyncingCalendar()) << "no unimported event that day";
    batch->startEventCheck(march(3));
    EXPECT_TRUE(batch->isSyncingCalendar());
    ASSERT_TRUE(refilled.wait(2000));
    EXPECT_EQ(refilled.last().first().value<QList<Order>>().first().id, a.id);
    EXPECT_FALSE(batch->isSyncingCalendar());

    batch->startEventCheck(march(3));
    batch->setSelectionSheetDay(march(4)); // another day's sheet within the second
    QSignalSpy syncing(batch.get(), &CalendarBatchSelection::syncingCalendarChanged);
    ASSERT_TRUE(syncing.wait(2000));
    EXPECT_EQ(refilled.count(), 1);
    EXPECT_FALSE(batch->isSyncingCalendar());
}

}

#include "orderbook/CalendarSyncFixture.h"

namespace {

class CalendarDeleteSyncTest : public CalendarSyncFixture
{
};

TEST_F(CalendarDeleteSyncTest, DeletesTakeEventsAndRemindersWithOneWrite)
{
    ScheduleCalendarModel model(*orders, *store);
    CalendarBatchSelection batch(model);
    const Order a = synced("甲", 3), b = synced("乙", 4), c = synced("丙", 5);
    for (const Order& o : {a, b, c})
        ASSERT_TRUE(sync(o));
    const int commits = calendar->commitCount();
    ASSERT_EQ(allEvents(*calendar).size(), 3);
    EXPECT_EQ(batch.deleteOrders({a.id, b.id}), 2);
    EXPECT_EQ(calendar->commitCount(), commits + 1);
    ASSERT_EQ(allEvents(*calendar).size(), 1);
    EXPECT_EQ(allEvents(*calendar).first().identifier, orders->orders().first().calendarEventIdentifier);
    const QStringList pending = pendingIds();
    EXPECT_FALSE(pending.isEmpty());
    for (const QString& id : pending)
        EXPECT_TRUE(id.startsWith(CalendarSyncManager::notificationIdentifier(c.id, 0).chopped(1))) << id.toStdString();
    EXPECT_EQ(storedArray(OrderbookKeys::orders).size(), 1);
}

}
