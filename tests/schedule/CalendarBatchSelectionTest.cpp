#include "ScheduleModelFixture.h"

#include "orderbook/OrderbookKeys.h"

#include <QSignalSpy>

namespace {

class CalendarBatchSelectionTest : public ScheduleModelFixture
{
protected:
    void SetUp() override
    {
        ScheduleModelFixture::SetUp();
        orders->setCalendarEventDeleter([this](const QList<Order>& going) {
            for (const Order& o : going)
                deletedEvents.append(o.calendarEventIdentifier.value_or(""));
        });
        model->setCurrentMonth({2026, 3, 1});
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

    QStringList deletedEvents;
};

TEST_F(CalendarBatchSelectionTest, PickingTakesOnlyOrdersPassingTheFilters)
{
    const Order a = add("甲", march(3)), cancelled = add("乙", march(5), OrderStatus::cancelled),
                c = add("丙", march(7), OrderStatus::pendingShoot), d = add("丁", march(1));
    selection->setFilterStatus("待付定金");
    selection->toggleBatchMode();
    EXPECT_EQ(selection->selectedOrderIds(), ids({a, d})) << "hidden orders are not picked on entry";
    selection->toggleBatchMode();
    EXPECT_TRUE(selection->selectedOrderIds().isEmpty() && selection->selectedDates().isEmpty());
    EXPECT_EQ(selection->filterStatus(), "待付定金");

    selection->setFilterStatus(CalendarBatchSelection::allFilter());
    selection->toggleBatchMode();
    selection->dayClicked(march(3), false);
    selection->dayClicked(march(7), true);
    EXPECT_EQ(selection->selectedDates().size(), 5);
    selection->dayClicked(march(1), true);
    EXPECT_EQ(selection->selectedDates().size(), 7) << "a range never drops days";
    EXPECT_EQ(selection->selectedOrderIds(), ids({a, cancelled, c, d}));
    selection->dayClicked(march(3), false);
    EXPECT_FALSE(selection->selectedOrderIds().contains(a.id));

    // 30 of 31 days picked: the key picks the last, then clears everything.
    selection->deselectAllCurrentMonth();
    for (int d = 1; d <= 30; ++d)
        selection->dayClicked(march(d), false);
    const Order last = add("戊", march(31));
    EXPECT_TRUE(selection->selectAllKeyPressed());
    EXPECT_TRUE(selection->isCurrentMonthAllSelected());
    EXPECT_TRUE(selection->selectedOrderIds().contains(last.id));
    selection->dayClicked({2026, 4, 2}, false);
    EXPECT_EQ(selection->selectedDates(), QSet<QDate>{QDate(2026, 4, 2)}) << "a free day starts over";
    selection->selectAllKeyPressed();
    selection->dayClicked({2026, 4, 2}, false);
    selection->selectAllKeyPressed();
    EXPECT_TRUE(selection->selectedDates().isEmpty() && selection->selectedOrderIds().isEmpty());
    selection->toggleBatchMode();
    EXPECT_FALSE(selection->selectAllKeyPressed()) << "the key does nothing outside batch mode";
}

TEST_F(CalendarBatchSelectionTest, DaysThatStartAfterMidnightArePickedToo)
{
    pinTimeZone("America/Santiago"); // 2026-09-06 starts at 01:00
    model->setCurrentMonth({2026, 9, 1});
    const Order sixth = add("甲", {2026, 9, 6});
    selection->toggleBatchMode();
    selection->deselectAllCurrentMonth();
    selection->dayClicked({2026, 9, 5}, false);
    selection->dayClicked({2026, 9, 8}, true);
    EXPECT_EQ(selection->selectedDates().size(), 4);
    EXPECT_TRUE(selection->selectedOrderIds().contains(sixth.id));
    selection->deselectAllCurrentMonth();
    selection->selectAllKeyPressed();
    EXPECT_TRUE(selection->selectedDates().contains({2026, 9, 6}));
    EXPECT_TRUE(selection->selectedOrderIds().contains(sixth.id));
}

TEST_F(CalendarBatchSelectionTest, ListsFiltersAndSelectAll)
{
    EXPECT_FALSE(CalendarBatchSelection::batchStatusOptions().contains("已取消"));
    EXPECT_TRUE(selection->selectedOrders().isEmpty()) << "first empty state";
    const Order a = add("甲", march(3), OrderStatus::pendingShoot, "婚纱"),
                b = add("乙", march(4), OrderStatus::pendingDeposit, ""), c = add("丙", march(5), OrderStatus::completed, "写真");
    add("丁", {2026, 4, 1});
    EXPECT_EQ(selection->batchPackageOptions(), (QStringList{"全部", "", "写真", "婚纱"}));
    selection->setFilterPackage("毕业照");
    EXPECT_FALSE(selection->selectedOrders().isEmpty());
    EXPECT_TRUE(selection->filteredBatchOrders().isEmpty()) << "second empty state";
    EXPECT_FALSE(selection->allSelectedOrdersChecked());

    selection->setFilterPackage("婚纱");
    selection->toggleBatchMode();
    selection->toggleOrder(b.id);
    selection->setFilterPackage(CalendarBatchSelection::allFilter());
    selection->setFilterStatus("已结清");
    selection->toggleSelectAll();
    EXPECT_EQ(selection->selectedOrderIds(), ids({a, b, c})) << "select-all keeps unlisted ids";
    selection->toggleSelectAll();
    EXPECT_EQ(selection->selectedOrderIds(), ids({a, b}));
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
    EXPECT_EQ(selection->dayClicked({2020, 1, 2}, false).kind, K::newOrder) << "past free days take orders";
    orders->toggleRestDay(march(2));
    store->set(OrderbookKeys::maxOrdersPerDay, 1);
    const Order one = add("甲", march(3));
    EXPECT_EQ(selection->dayClicked(march(2), false).kind, K::none);
    EXPECT_EQ(selection->dayClicked(march(3), false).kind, K::none);

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
        const CalendarRequest r = selection->badgeClicked(c.day, c.search);
        EXPECT_EQ(r.kind, c.kind) << c.day.day() << c.search.toStdString();
        EXPECT_EQ(r.orders.size(), c.listed);
        EXPECT_EQ(r.date, c.day);
    }
    model->setShootEvents({});
    EXPECT_EQ(selection->badgeClicked(march(3), "").kind, K::editOrder);
    EXPECT_EQ(selection->badgeClicked(march(3), "").order->id, one.id);
    EXPECT_EQ(selection->badgeClicked(march(3), "甲").kind, K::selectOrders) << "a search always lists";
    EXPECT_TRUE(selection->isEmphasised(march(1), true));
    EXPECT_FALSE(selection->isEmphasised(march(1), false));
}

TEST_F(CalendarBatchSelectionTest, MenusAndDeletes)
{
    using A = DayMenuEntry::Action;
    auto actions = [&](const QDate& day) {
        QList<A> out;
        for (const DayMenuEntry& e : selection->dayMenu(day))
            out.append(e.action);
        return out;
    };
    orders->toggleRestDay(march(1));
    EXPECT_EQ(selection->dayMenu(march(1)).first().text, "取消闭档");
    EXPECT_EQ(actions(march(2)), QList<A>{A::toggleRestDay});
    const Order single = add("甲", march(3), OrderStatus::pendingDeposit, "", "EV-A");
    EXPECT_EQ(actions(march(3)), (QList<A>{A::toggleRestDay, A::viewOrders, A::deleteOrder}));
    const Order b = add("乙", march(4), OrderStatus::pendingDeposit, "", "EV-B");
    add("丙", march(4));
    add("丁", march(4));
    EXPECT_EQ(actions(march(4)), (QList<A>{A::toggleRestDay, A::viewOrders, A::deleteOrder, A::deleteOrder,
                                           A::deleteOrder, A::divider, A::deleteDay}));
    EXPECT_EQ(selection->dayMenu(march(4)).last().text, "删除全部 3 个订单");
    // The phone is named only when the calendar reaches it, as on the sync banner.
    for (bool phone : {true, false}) {
        const QString where = phone ? "手机日历" : "系统日历";
        EXPECT_EQ(CalendarBatchSelection::singleDeleteConfirmation(single, phone).message,
                  "客户：甲\n删除后同时移除" + where + "中的对应事件，此操作不可恢复。");
        EXPECT_EQ(CalendarBatchSelection::dayDeleteConfirmation(3, phone).message,
                  "将删除 3 个订单，同时同步删除" + where + "中的对应事件，此操作不可恢复。");
    }

    // The menu's copy is stale: the stored order's current event is the one deleted.
    Order refreshed = single;
    refreshed.calendarEventIdentifier = "EV-A2";
    orders->updateOrder(refreshed);
    Order twin = b;
    twin.customerName = "乙二";
    orders->setOrders(QList<Order>(orders->orders()) << twin);
    EXPECT_EQ(selection->deleteOrders({single.id, b.id, QUuid::createUuid()}), 3) << "both orders with one id go";
    EXPECT_EQ(deletedEvents, (QStringList{"EV-A2", "EV-B", "EV-B"}));
    EXPECT_EQ(storedArray(OrderbookKeys::orders).size(), 2);

    selection->toggleBatchMode();
    selection->selectAllKeyPressed();
    selection->toggleOrder(QUuid::createUuid()); // an id no order holds any more
    EXPECT_EQ(selection->batchDeleteConfirmation().message, "确定删除选中的 2 条订单吗？删除后不可恢复");
    EXPECT_EQ(selection->batchDelete(), "成功删除 2 条订单");
    EXPECT_FALSE(selection->isBatchMode());
    EXPECT_TRUE(selection->selectedOrderIds().isEmpty());
    EXPECT_EQ(storedArray(OrderbookKeys::orders).size(), 0);
}

TEST_F(CalendarBatchSelectionTest, EventCheckRefillsOnlyTheSheetStillShowingItsDay)
{
    const Order a = add("甲", march(3));
    model->setShootEvents({{"EV1", "拍摄", QDateTime(march(3), QTime(9, 0)), {}, {}, {}}});
    QSignalSpy refilled(selection.get(), &CalendarBatchSelection::ordersForSelectionRefilled);
    selection->startEventCheck(march(4));
    EXPECT_FALSE(selection->isSyncingCalendar()) << "no unimported event that day";
    selection->startEventCheck(march(3));
    EXPECT_TRUE(selection->isSyncingCalendar());
    ASSERT_TRUE(refilled.wait(2000));
    EXPECT_EQ(refilled.last().first().value<QList<Order>>().first().id, a.id);
    EXPECT_FALSE(selection->isSyncingCalendar());

    selection->startEventCheck(march(3));
    selection->setSelectionSheetDay(march(4)); // another day's sheet within the second
    QSignalSpy syncing(selection.get(), &CalendarBatchSelection::syncingCalendarChanged);
    ASSERT_TRUE(syncing.wait(2000));
    EXPECT_EQ(refilled.count(), 1);
    EXPECT_FALSE(selection->isSyncingCalendar());
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
