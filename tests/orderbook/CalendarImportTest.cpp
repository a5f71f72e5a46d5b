#include "CalendarSyncFixture.h"

#include "orderbook/OrderCodec.h"
#include "orderbook/OrderbookKeys.h"
#include "orderbook/ReleasedOrders.h"

#include <QRegularExpression>
#include <QTest>

namespace {

class CalendarImportTest : public CalendarSyncFixture
{
protected:
    // A user's own event in the dedicated calendar, `days` from now at 09:00.
    QString addEvent(const QString& title, const std::optional<QString>& notes, int days = 1,
                     const std::optional<QString>& location = {})
    {
        if (dedicated.isEmpty()) {
            manager->refreshEvents(); // makes the dedicated calendar
            settle();
            for (const CalendarInfo& c : calendar->calendars())
                dedicated = c.identifier;
        }
        CalendarEvent e;
        e.calendarIdentifier = dedicated;
        e.title = title;
        e.notes = notes;
        e.location = location;
        e.startDate = QDateTime(QDate::currentDate().addDays(days), QTime(9, 0));
        e.endDate = e.startDate.addSecs(3600);
        EXPECT_TRUE(calendar->saveEvent(e));
        return e.identifier;
    }
    std::optional<Order> orderOf(const QString& eventId) const
    {
        for (const Order& o : orders->orders())
            if (o.calendarEventIdentifier == eventId)
                return o;
        return std::nullopt;
    }
    // A refresh, its queued import and the write-back half a second later.
    void refreshAndWriteBack()
    {
        manager->refreshEvents();
        settle();
        QTest::qWait(600);
        settle();
    }
    ShootEvent shootEvent(const QString& id) const
    {
        const CalendarEvent e = *calendar->event(id);
        return {e.identifier, e.title, e.startDate, e.endDate, e.location, e.notes, e.orderIdentifier};
    }
    QString dedicated;
};

TEST_F(CalendarImportTest, EventsBecomeOrdersOnceWithTheirTextKept)
{
    store->set("scheduleReminderDefault", "提前3天");
    const QString free = addEvent("张三 儿童 300元", QString("已付定金\n老客户"));
    const QString own = addEvent("李四 - 标准套系", QString("李四-13800000000-定金200\n备注"));
    const QString nameless = addEvent("你好", std::nullopt);
    const QString old = addEvent("王五 旧事件", std::nullopt, -200);
    Order tied = synced("赵六", 5, OrderStatus::cancelled);
    tied.calendarEventIdentifier = addEvent("赵六 - 标准套系", std::nullopt);
    orders->updateOrder(tied);

    refreshAndWriteBack();
    ASSERT_EQ(orders->orders().size(), 3);
    const Order a = *orderOf(free);
    EXPECT_EQ(a.customerName, "张三");
    EXPECT_EQ(a.packageType, "儿童写真");
    EXPECT_EQ(a.timeSlot, ShootTimeSlot::afternoon);
    EXPECT_EQ(a.shootDate, QDateTime(QDate::currentDate().addDays(1), QTime(9, 0)));
    EXPECT_EQ(a.status, OrderStatus::pendingShoot);
    EXPECT_EQ(a.reminderRule, "提前3天");
    EXPECT_TRUE(a.syncToCalendar && a.totalAmount == 0 && a.shootLocation.isEmpty());
    ASSERT_EQ(a.payments.size(), 1);
    EXPECT_EQ(a.payments[0].note, "定金（从日历自动导入）");
    EXPECT_EQ(a.note, "拍摄地点：300元\n原日历标题：张三 儿童 300元\n原日历备注：已付定金\n老客户");
    // Written back in the app's format, the user's words still there.
    EXPECT_EQ(calendar->event(free)->title, "张三 - 儿童写真");
    EXPECT_TRUE(calendar->event(free)->notes->contains("原日历备注：已付定金"));

    const Order b = *orderOf(own);
    EXPECT_EQ(b.packageType, "其他");
    EXPECT_EQ(b.note, "") << "own text is not copied";
    EXPECT_EQ(b.status, OrderStatus::pendingDeposit);
    EXPECT_FALSE(orderOf(nameless) || orderOf(old));

    refreshAndWriteBack();
    EXPECT_EQ(orders->orders().size(), 3) << "tied events are never imported again";
    EXPECT_EQ(manager->shootEvents().size(), 4) << "the old event is outside the window";

    // The manual road: any name, deposit means booked, never a second order.
    const Order m = *manager->importEventAsOrder(shootEvent(nameless));
    EXPECT_TRUE(m.customerName.isEmpty() && m.packageType == "其他" && m.calendarEventIdentifier == nameless);
    const ShootEvent freeEvent = shootEvent(free);
    EXPECT_FALSE(manager->importEventAsOrder(freeEvent));
    EXPECT_FALSE(manager->importEventAsOrder(shootEvent(*tied.calendarEventIdentifier)));
    const Order booked = *manager->importEventAsOrder(shootEvent(addEvent("钱九 儿童 300元", QString("已付定金"))));
    EXPECT_EQ(booked.status, OrderStatus::pendingShoot);
    EXPECT_EQ(booked.payments.value(0).note, "定金（从日历导入）");
    orders->deleteOrder(a);
    EXPECT_FALSE(manager->importEventAsOrder(freeEvent)) << "its event went with the order";
}

// However the removal of a deleted order's event goes, the event leaves the
// list at once and no import, automatic or by hand, brings the order back.
TEST_F(CalendarImportTest, DeletedOrderEventsNeverComeBack)
{
    struct Case {
        const char* name;
        std::function<void()> breakRemoval;
        std::function<void()> mend;
    };
    const QList<Case> cases = {
        {"removed", [] {}, [] {}},
        {"store refuses", [this] { calendar->setFailure(QString("磁盘已满")); },
         [this] { calendar->setFailure(std::nullopt); }},
        {"permission gone",
         [this] {
             calendar->setAuthorizationStatus(CalendarAuthorizationStatus::Denied);
             manager->checkPermission();
         },
         [this] {
             calendar->setAuthorizationStatus(CalendarAuthorizationStatus::FullAccess);
             manager->checkPermissionAndAutoRefresh();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString id = addEvent("孙七 外景", std::nullopt);
        refreshAndWriteBack();
        const ShootEvent event = shootEvent(id);
        ASSERT_TRUE(orderOf(id));
        c.breakRemoval();
        orders->deleteOrder(*orderOf(id));
        const auto listed = [&] {
            return std::any_of(manager->shootEvents().cbegin(), manager->shootEvents().cend(),
                               [&](const ShootEvent& e) { return e.id == id; });
        };
        EXPECT_FALSE(listed()) << "the day no longer counts it";
        EXPECT_FALSE(manager->importEventAsOrder(event));
        refreshAndWriteBack();
        EXPECT_FALSE(orderOf(id));
        EXPECT_FALSE(listed());
        c.mend();
        refreshAndWriteBack();
        EXPECT_TRUE(orders->orders().isEmpty());
        EXPECT_FALSE(calendar->event(id));
        EXPECT_FALSE(manager->importEventAsOrder(event));
    }
    EXPECT_FALSE(store->hasStoredValue(OrderbookKeys::deletedOrderEvents));
}

TEST_F(CalendarImportTest, DeletedOrdersStayDeleted)
{
    const QString early = addEvent("孙七 外景", std::nullopt);
    const QString later = addEvent("周八 外景", std::nullopt);
    manager->refreshEvents();
    settle();
    // Deleted before its write-back: nothing is written for it afterwards.
    orders->deleteOrder(*orderOf(early));
    QTest::qWait(600);
    settle();
    EXPECT_FALSE(calendar->event(early));

    // Deleted while the sync is off: its event stays, is never imported
    // again, and goes once the sync is back on.
    manager->setCalendarSyncEnabled(false);
    orders->deleteOrder(*orderOf(later));
    EXPECT_TRUE(calendar->event(later));
    manager->setCalendarSyncEnabled(true);
    refreshAndWriteBack();
    EXPECT_TRUE(orders->orders().isEmpty());
    EXPECT_FALSE(calendar->event(later));
    EXPECT_FALSE(store->hasStoredValue(OrderbookKeys::deletedOrderEvents));
}

// An event naming an order of the book is that order's, never a new order:
// the order keeps its own event, or the copy when its own is gone. One naming
// an order this book let go is a leftover and goes; one naming an order this
// book never held (another computer's) comes in as today.
TEST_F(CalendarImportTest, EventsNamingAnOrderAreThatOrdersEvents)
{
    enum class Named { bookOrder, letGo, neverHeld };
    struct Case {
        const char* name;
        bool ownEventGone;
        Named named;
    };
    const Case cases[] = {
        {"a copy beside the order's event", false, Named::bookOrder},
        {"the order's event gone", true, Named::bookOrder},
        {"an order this book let go", false, Named::letGo},
        {"an order this book never held", false, Named::neverHeld},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Order o = synced("王五", 5);
        const QString own = *sync(o);
        EXPECT_EQ(calendar->event(own)->orderIdentifier, OrderCodec::uuidText(o.id));
        CalendarEvent copy = *calendar->event(own);
        copy.identifier.clear();
        ASSERT_TRUE(calendar->saveEvent(copy));
        if (c.ownEventGone)
            ASSERT_TRUE(calendar->removeEvent(own));
        if (c.named != Named::bookOrder) {
            ASSERT_TRUE(calendar->removeEvent(own));
            orders->setCalendarEventIdentifiers({{o.id, copy.identifier}});
            orders->deleteOrder(*orders->order(o.id));
            ASSERT_FALSE(calendar->event(copy.identifier));
            copy.identifier.clear();
            if (c.named == Named::neverHeld)
                copy.orderIdentifier = OrderCodec::uuidText(QUuid::createUuid());
            ASSERT_TRUE(calendar->saveEvent(copy)); // written by another session
        }
        EXPECT_EQ(manager->importEventAsOrder(shootEvent(copy.identifier)).has_value(), c.named == Named::neverHeld);
        refreshAndWriteBack();
        if (c.named == Named::letGo) {
            EXPECT_TRUE(orders->orders().isEmpty()) << "a booking this book let go never comes back";
            EXPECT_TRUE(allEvents(*calendar).isEmpty());
            EXPECT_EQ(manager->pendingCalendarWork(), 0);
            continue;
        }
        ASSERT_EQ(orders->orders().size(), 1);
        const Order kept = orders->orders().first();
        EXPECT_EQ(kept.id == o.id, c.named == Named::bookOrder);
        EXPECT_EQ(kept.calendarEventIdentifier, c.ownEventGone || c.named != Named::bookOrder ? copy.identifier : own);
        const QList<CalendarEvent> events = allEvents(*calendar);
        ASSERT_EQ(events.size(), 1) << "one event per order";
        EXPECT_EQ(events.first().orderIdentifier, OrderCodec::uuidText(kept.id));
        orders->deleteOrder(kept);
        settle();
    }
}

// A write the calendar refuses waits on the stored list with its cause, is
// tried once per refresh while it keeps failing, and goes out at the first
// refresh after the calendar takes writes again.
TEST_F(CalendarImportTest, RefusedWritesWaitAndGoOutAtTheNextRefresh)
{
    // What earlier versions kept to remove is taken over and removed.
    const QString old = addEvent("旧订单", std::nullopt);
    store->set(QString(OrderbookKeys::deletedOrderEvents), QVariantList{old});
    makeManager(*calendar);
    EXPECT_FALSE(store->hasStoredValue(OrderbookKeys::deletedOrderEvents));
    EXPECT_FALSE(calendar->event(old));
    EXPECT_EQ(manager->pendingCalendarWork(), 0);

    struct Case {
        const char* name;
        std::function<void(Order&)> act;
        std::function<void(const Order&)> check;
    };
    const Case cases[] = {
        {"create", [this](Order& o) { sync(o); },
         [this](const Order& o) { EXPECT_TRUE(calendar->event(*orders->order(o.id)->calendarEventIdentifier)); }},
        {"change",
         [this](Order& o) {
             calendar->setFailure(std::nullopt);
             sync(o);
             calendar->setFailure(QString("磁盘已满"));
             o = *orders->order(o.id);
             o.phone = "13700000000";
             orders->updateOrder(o);
             sync(o);
         },
         [this](const Order& o) {
             EXPECT_TRUE(calendar->event(*orders->order(o.id)->calendarEventIdentifier)->notes->contains("13700000000"));
         }},
        {"remove",
         [this](Order& o) {
             calendar->setFailure(std::nullopt);
             sync(o);
             o = *orders->order(o.id);
             calendar->setFailure(QString("磁盘已满"));
             orders->deleteOrder(o);
         },
         [this](const Order& o) { EXPECT_FALSE(calendar->event(*o.calendarEventIdentifier)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Order o = synced("钱六", 3);
        calendar->setFailure(QString("磁盘已满"));
        c.act(o);
        EXPECT_EQ(manager->pendingCalendarWork(), 1);
        EXPECT_EQ(manager->lastCalendarFailure(), "磁盘已满");
        EXPECT_TRUE(QJsonDocument::fromVariant(store->object(QString(OrderbookKeys::pendingCalendarWork)))
                        .toJson(QJsonDocument::Compact)
                        .contains(c.name == QByteArray("remove") ? o.calendarEventIdentifier->toUtf8()
                                                                 : OrderCodec::uuidText(o.id).toUtf8()));
        // Still refused: one try per refresh, no loop.
        settle();
        const qsizetype before = logMessages().size();
        manager->refreshEvents();
        settle();
        QTest::qWait(50);
        settle();
        const QStringList tries = logMessages().mid(before).filter(QRegularExpression("^(重试写入日历|删除日历事件失败)"));
        EXPECT_EQ(tries.size(), 1) << logMessages().mid(before).join('\n').toStdString();
        EXPECT_EQ(manager->pendingCalendarWork(), 1);

        calendar->setFailure(std::nullopt);
        manager->refreshEvents();
        settle();
        EXPECT_EQ(manager->pendingCalendarWork(), 0);
        EXPECT_TRUE(manager->lastCalendarFailure().isEmpty());
        EXPECT_FALSE(store->hasStoredValue(OrderbookKeys::pendingCalendarWork));
        c.check(o);
        if (orders->order(o.id))
            orders->deleteOrder(*orders->order(o.id));
    }
}

}

namespace {

// A batch whose one commit fails keeps every order of it waiting, those the
// batch had already written too, and the next refresh writes them all.
TEST_F(CalendarImportTest, AFailedBatchCommitKeepsEveryOrderOfItWaiting)
{
    QList<Order> batch;
    for (const char* name : {"周一", "周二", "周三"})
        batch.append(synced(name, 5));
    calendar->setCommitFailure(QString("磁盘已满"));
    int written = -1;
    manager->batchSyncAllOrders(orders->orders(), [&](int n) { written = n; });
    settle();
    EXPECT_EQ(written, 0);
    EXPECT_EQ(manager->pendingCalendarWork(), 3);
    EXPECT_EQ(manager->lastCalendarFailure(), "磁盘已满");
    EXPECT_TRUE(allEvents(*calendar).isEmpty());

    calendar->setCommitFailure(std::nullopt);
    manager->refreshEvents();
    settle();
    EXPECT_EQ(manager->pendingCalendarWork(), 0);
    EXPECT_EQ(allEvents(*calendar).size(), 3);
    for (const Order& o : batch)
        EXPECT_TRUE(orders->order(o.id)->calendarEventIdentifier) << o.customerName.toStdString();
}

// An order whose write failed and whose calendar switch was then turned off
// is no longer written by the retry.
TEST_F(CalendarImportTest, ARetryLeavesOutAnOrderNoLongerAskingForTheCalendar)
{
    Order o = synced("吴九", 4);
    calendar->setFailure(QString("磁盘已满"));
    EXPECT_FALSE(sync(o));
    EXPECT_EQ(manager->pendingCalendarWork(), 1);
    o = *orders->order(o.id);
    o.syncToCalendar = false;
    orders->updateOrder(o);

    calendar->setFailure(std::nullopt);
    manager->refreshEvents();
    settle();
    EXPECT_EQ(manager->pendingCalendarWork(), 0);
    EXPECT_TRUE(allEvents(*calendar).isEmpty());
    EXPECT_FALSE(orders->order(o.id)->calendarEventIdentifier);
}

}

namespace {

// While the calendar's server is out of reach, what the store takes stays on
// this computer: every change waits with the server's problem as its cause,
// a removal is not taken for done, no log line calls any of it a success,
// and the first refresh once the server is back sends it all.
TEST_F(CalendarImportTest, ChangesTheServerHasNotTakenWaitUntilItIsBack)
{
    const Order kept = synced("郑一", 3);
    const Order going = synced("郑二", 3);
    ASSERT_TRUE(sync(kept));
    ASSERT_TRUE(sync(going));
    const QString goingEvent = *orders->order(going.id)->calendarEventIdentifier;
    const qsizetype logBefore = logMessages().size();

    calendar->setServerProblem("Connection refused");
    Order edited = *orders->order(kept.id);
    edited.note = "改到上午";
    orders->updateOrder(edited);
    EXPECT_EQ(sync(edited), edited.calendarEventIdentifier) << "the event stays the order's";
    orders->deleteOrder(*orders->order(going.id));
    EXPECT_FALSE(calendar->event(goingEvent));
    manager->refreshEvents();
    settle();
    EXPECT_EQ(manager->pendingCalendarWork(), 2);
    EXPECT_EQ(manager->lastCalendarFailure(), "Connection refused");
    EXPECT_EQ(manager->calendarServerProblem(), "Connection refused");
    const QStringList logged = logMessages().mid(logBefore);
    EXPECT_TRUE(logged.filter(QRegularExpression("成功: [1-9]")).isEmpty()) << logged.join('\n').toStdString();
    EXPECT_FALSE(logged.filter("日历服务器无法连接").isEmpty()) << logged.join('\n').toStdString();

    calendar->setServerProblem({});
    manager->refreshEvents();
    settle();
    EXPECT_EQ(manager->pendingCalendarWork(), 0);
    EXPECT_TRUE(manager->lastCalendarFailure().isEmpty());
    EXPECT_TRUE(calendar->event(*edited.calendarEventIdentifier)->notes->contains("改到上午"));
}

}

namespace {

// The calendar service may drop a removal it kept offline when it reconnects,
// and list the server's copy again after the removal was taken for done. The
// deleted order's event then waits for its removal again and goes; it is never
// shown or imported, also not by the next start.
TEST_F(CalendarImportTest, ADeletedOrdersEventTheServerGivesBackGoesAgain)
{
    struct Case {
        const char* name;
        QString serverWhenItComesBack;
    };
    const Case cases[] = {
        {"the server reachable", {}},
        {"the server out of reach again", "Connection refused"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Order o = synced("褚三", 3);
        ASSERT_TRUE(sync(o));
        const CalendarEvent onServer = *calendar->event(*orders->order(o.id)->calendarEventIdentifier);
        const ShootEvent shown{onServer.identifier, onServer.title, onServer.startDate, onServer.endDate,
                               onServer.location, onServer.notes, onServer.orderIdentifier};
        const auto listed = [&] {
            return std::any_of(manager->shootEvents().cbegin(), manager->shootEvents().cend(),
                               [&](const ShootEvent& e) { return e.id == onServer.identifier; });
        };

        calendar->setServerProblem("Connection refused");
        orders->deleteOrder(*orders->order(o.id));
        calendar->setServerProblem({});
        manager->refreshEvents();
        settle();
        ASSERT_EQ(manager->pendingCalendarWork(), 0) << "taken for done";

        calendar->setServerProblem(c.serverWhenItComesBack);
        calendar->editFromOutside([&](InMemoryCalendarStore& store) {
            CalendarEvent copy = onServer;
            store.saveEvent(copy, false);
        });
        settle();
        EXPECT_FALSE(listed());
        EXPECT_FALSE(manager->importEventAsOrder(shown));
        EXPECT_FALSE(calendar->event(onServer.identifier)) << "removed again";
        EXPECT_EQ(manager->pendingCalendarWork(), c.serverWhenItComesBack.isEmpty() ? 0 : 1);

        calendar->setServerProblem({});
        manager->refreshEvents();
        settle();
        EXPECT_EQ(manager->pendingCalendarWork(), 0);

        // The next start: the server still had it, so would this.
        makeManager(*calendar);
        refreshAndWriteBack();
        EXPECT_TRUE(orders->orders().isEmpty());
        EXPECT_FALSE(listed());
    }
}

}

namespace {

// Whatever left an event behind (another session's store, a write the
// service carried out late, a kill between two writes), a refresh brings the
// calendar in line with the book: an order let go or switched off keeps no
// event, and an order the book holds again takes its event back.
TEST_F(CalendarImportTest, TheCalendarFollowsTheBookWhateverWasLeftBehind)
{
    enum class Then { deleted, switchedOff, deletedThenBroughtBack };
    struct Case {
        const char* name;
        Then then;
        bool eventStays;
    };
    const Case cases[] = {
        {"an order deleted", Then::deleted, false},
        {"an order switched off, stored without its removal", Then::switchedOff, false},
        {"a deleted order the book holds again", Then::deletedThenBroughtBack, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Order o = synced("钱十", 6);
        ASSERT_TRUE(sync(o));
        const Order held = *orders->order(o.id);
        CalendarEvent left = *calendar->event(*held.calendarEventIdentifier);
        switch (c.then) {
        case Then::deleted:
        case Then::deletedThenBroughtBack:
            ASSERT_TRUE(orders->deleteOrder(held));
            break;
        case Then::switchedOff: {
            Order off = held;
            off.syncToCalendar = false;
            ASSERT_TRUE(orders->updateOrder(off));
            break;
        }
        }
        // Made again after the removal, as a late or other writer would.
        left.identifier.clear();
        ASSERT_TRUE(calendar->saveEvent(left));
        if (c.then == Then::deletedThenBroughtBack) {
            Order back = held;
            back.calendarEventIdentifier.reset();
            ASSERT_EQ(orders->addOrders({back}).size(), 1);
        }
        refreshAndWriteBack();
        EXPECT_EQ(bool(calendar->event(left.identifier)), c.eventStays);
        EXPECT_EQ(manager->pendingCalendarWork(), 0);
        ASSERT_EQ(orders->orders().size(), c.then == Then::deleted ? 0 : 1) << "no order comes from the leftover";
        if (c.eventStays)
            EXPECT_EQ(orders->orders().first().calendarEventIdentifier, left.identifier);
        for (const Order& rest : orders->orders())
            orders->deleteOrder(rest);
        refreshAndWriteBack();
        EXPECT_TRUE(allEvents(*calendar).isEmpty());
    }
}

// The record of orders let go is bounded, newest last, and never names an
// order the book holds once a refresh has seen it.
TEST_F(CalendarImportTest, TheRecordOfOrdersLetGoIsBounded)
{
    ReleasedOrders released(*store);
    QList<QUuid> ids;
    for (int i = 0; i < ReleasedOrders::limit + 5; ++i)
        ids.append(QUuid::createUuid());
    ASSERT_TRUE(released.add(ids));
    const QVariantList stored = *store->array(QString(OrderbookKeys::calendarReleasedOrders));
    ASSERT_EQ(stored.size(), ReleasedOrders::limit);
    EXPECT_EQ(stored.first().toString(), OrderCodec::uuidText(ids[5])) << "the oldest go first";
    EXPECT_EQ(stored.last().toString(), OrderCodec::uuidText(ids.last()));
    EXPECT_FALSE(released.contains(OrderCodec::uuidText(ids.first())));

    const Order o = synced("孙一", 3);
    released.add({o.id});
    refreshAndWriteBack();
    EXPECT_FALSE(released.contains(OrderCodec::uuidText(o.id)));
}

}
