#include "OrdersFixture.h"

#include "orderbook/Money.h"
#include "orders/OrderFormModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

class OrderFormModelTest : public OrdersFixture
{
protected:
    void SetUp() override
    {
        OrdersFixture::SetUp();
        grantCalendar();
        OrderFormModel::setCalendarPermission({[this](QObject*, std::function<void(bool)> answer) {
                                                   ++requests;
                                                   pendingAnswer = std::move(answer);
                                               },
                                               [this] { ++checks; }});
    }
    std::unique_ptr<OrderFormModel> form(const std::optional<Order>& o = std::nullopt,
                                         const QDateTime& day = QDateTime(QDate::currentDate().addDays(3), QTime(0, 0)))
    {
        return std::make_unique<OrderFormModel>(*orders, *packages, *store, o, day,
                                                [this](const Order& saved) {
                                                    this->saved.append(saved);
                                                    return true;
                                                });
    }
    static void settle() { QCoreApplication::processEvents(); }

    QList<Order> saved;
    int requests = 0;
    int checks = 0;
    std::function<void(bool)> pendingAnswer;
};

TEST_F(OrderFormModelTest, OpensNewAndEditedOrdersWithTheirValues)
{
    auto fresh = form();
    EXPECT_EQ(fresh->shootTime().time(), QTime(14, 0)) << "the afternoon slot's start";
    EXPECT_FALSE(fresh->syncToCalendar()) << "no stored calendar default means off";
    store->set("scheduleSyncCalendarDefault", true);
    store->set("scheduleReminderDefault", "提前7天");
    EXPECT_TRUE(form()->syncToCalendar());
    EXPECT_EQ(form()->reminderRule(), "提前7天");

    Order o = storedOrder(5000, {}, OrderStatus::pendingShoot);
    o.totalAmount = 1288.8;
    auto edit = form(o);
    EXPECT_EQ(edit->totalAmount(), "1288.8");
    EXPECT_EQ(edit->depositAmount(), "300.0");
    EXPECT_EQ(edit->reminderRule(), "提前1天") << "the order's own rule, not the new default";
}

TEST_F(OrderFormModelTest, QuickLocationsAreRepairedOnlyWhenTheyAreNotEightTexts)
{
    const QStringList eight{"a", "b", "c", "d", "e", "f", "g", "h"};
    struct Row { QVariant stored; QStringList shown; QVariant after; };
    const Row rows[] = {
        {QVariant(), OrderFormModel::defaultQuickLocations(), QVariant()},
        {QVariant(eight.mid(0, 7)), OrderFormModel::defaultQuickLocations(), OrderFormModel::defaultQuickLocations()},
        {QVariant(eight + QStringList{"i"}), OrderFormModel::defaultQuickLocations(),
         OrderFormModel::defaultQuickLocations()},
        {QVariantList{1, 2, 3}, OrderFormModel::defaultQuickLocations(), QVariantList{1, 2, 3}},
        {QVariant(eight), eight, QVariant(eight)},
    };
    for (const Row& r : rows) {
        store->set("quickShootLocations", r.stored);
        EXPECT_EQ(form()->quickLocations(), r.shown);
        EXPECT_EQ(store->object("quickShootLocations").toList(), r.after.toList());
    }
    auto f = form();
    f->toggleQuickLocationEditing();
    f->setQuickLocation(0, "外滩");
    f->chooseQuickLocation(0);
    EXPECT_EQ(f->shootLocation(), "") << "chips do not fill while editing";
    f->toggleQuickLocationEditing();
    f->chooseQuickLocation(0);
    EXPECT_EQ(f->shootLocation(), "外滩");
    const QJsonObject file = QJsonDocument::fromJson([&] {
        QFile in(store->filePath());
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }()).object();
    const QJsonObject entry = file.value("quickShootLocations").toObject();
    EXPECT_EQ(entry.value("type").toString(), "list") << "a plain list of texts, not JSON in a text";
    EXPECT_TRUE(QJsonDocument(entry).toJson().contains("外滩"));
}

TEST_F(OrderFormModelTest, SaveReadsAmountsStrictlyAndKeepsStoredPayments)
{
    // Text that does not read is refused, never stored as 0.
    struct Row { QString deposit; int payments; OrderStatus status; bool saves = true; };
    const Row rows[] = {{"300", 1, OrderStatus::pendingShoot}, {"", 0, OrderStatus::pendingDeposit},
                        {"0", 0, OrderStatus::pendingDeposit}, {"300元", 0, OrderStatus::pendingDeposit, false},
                        {" 300", 0, OrderStatus::pendingDeposit, false}, {"1,000", 0, OrderStatus::pendingDeposit, false},
                        {"inf", 0, OrderStatus::pendingDeposit, false}, {"0x10", 0, OrderStatus::pendingDeposit, false}};
    for (const Row& r : rows) {
        saved.clear();
        auto f = form();
        f->setCustomerName("张三");
        f->setDepositAmount(r.deposit);
        EXPECT_EQ(f->displayStatus(), r.status);
        EXPECT_EQ(f->saveOrder(), r.saves) << r.deposit.toStdString();
        if (!r.saves) {
            EXPECT_TRUE(saved.isEmpty());
            continue;
        }
        ASSERT_EQ(saved.size(), 1);
        EXPECT_EQ(saved[0].payments.size(), r.payments) << r.deposit.toStdString();
        EXPECT_EQ(saved[0].status, r.status);
        if (r.payments)
            EXPECT_EQ(saved[0].payments[0].note, "定金");
    }

    const Order o = storedOrder(5000, {pay(1000, QDateTime::currentDateTime())}, OrderStatus::pendingShoot);
    auto edit = form(o);
    orders->addPayment(o, 4000, "尾款");
    edit->setTotalAmount("6000");
    ASSERT_TRUE(edit->saveOrder());
    EXPECT_EQ(saved.last().payments.size(), 2) << "the payment made while open stays";
    EXPECT_EQ(saved.last().status, OrderStatus::completed) << "a raised total does not reopen it";
}

TEST_F(OrderFormModelTest, PackageChoiceFillsUntilAnAmountIsTyped)
{
    packages->addPackage("零价", 0, 300);
    packages->addPackage("小数", 1288.8, 500);
    packages->addPackage("小数", 9999, 9999);
    auto f = form();
    struct Step { QString package; QString total; QString deposit; };
    for (const Step& s : {Step{"小数", "1288.8", "500"}, Step{"零价", "", "300"}, Step{"不存在", "", ""},
                          Step{"小数", "1288.8", "500"}}) {
        f->setPackageType(s.package);
        settle();
        EXPECT_EQ(f->totalAmount(), s.total) << s.package.toStdString();
        EXPECT_EQ(f->depositAmount(), s.deposit);
    }
    EXPECT_FALSE(f->hasManualModifiedAmount());
    f->setDepositAmount("200");
    f->setPackageType("零价");
    settle();
    EXPECT_EQ(f->totalAmount(), "1288.8");
    EXPECT_TRUE(f->hasManualModifiedAmount());
}

TEST_F(OrderFormModelTest, SlotsAndDatesDriveTheSwitchAndItsAlerts)
{
    auto f = form();
    f->setShootTime(QTime(10, 30));
    f->setTimeSlot(ShootTimeSlot::fullDay);
    EXPECT_EQ(f->shootTime().time(), QTime(9, 0));
    f->setTimeSlot(ShootTimeSlot::afternoon);
    EXPECT_EQ(f->shootTime().time(), QTime(14, 0));

    auto* calendar = &CalendarStore::shared();
    struct Row { CalendarAuthorizationStatus status; std::optional<bool> answer; bool on; bool alert; int checks; };
    const Row rows[] = {
        {CalendarAuthorizationStatus::NotDetermined, true, true, false, 0},
        {CalendarAuthorizationStatus::NotDetermined, false, false, true, 0},
        {CalendarAuthorizationStatus::Restricted, {}, false, true, 0},
        {CalendarAuthorizationStatus::Denied, {}, false, true, 0},
        {CalendarAuthorizationStatus::FullAccess, {}, true, false, 1},
        {CalendarAuthorizationStatus::WriteOnly, {}, false, true, 0},
    };
    for (const Row& r : rows) {
        calendar->setAuthorizationStatus(r.status);
        checks = 0;
        auto g = form();
        g->setSyncToCalendar(true);
        EXPECT_TRUE(g->syncToCalendar()) << "on for one turn";
        if (r.answer)
            pendingAnswer(*r.answer);
        settle();
        EXPECT_EQ(g->syncToCalendar(), r.on) << int(r.status);
        EXPECT_EQ(g->showCalendarPermissionAlert(), r.alert) << int(r.status);
        EXPECT_EQ(checks, r.checks);
    }
    // An answer after the form closed changes nothing and does not crash.
    calendar->setAuthorizationStatus(CalendarAuthorizationStatus::NotDetermined);
    auto closing = form();
    closing->setSyncToCalendar(true);
    closing->cancel();
    closing.reset();
    pendingAnswer(false);
    settle();

    calendar->setAuthorizationStatus(CalendarAuthorizationStatus::FullAccess);
    f->setSyncToCalendar(true);
    f->setShootDay(QDate::currentDate().addDays(-1));
    EXPECT_FALSE(f->syncToCalendar());
    EXPECT_TRUE(f->showPastDateAlert());
    f->dismissPastDateAlert();
    f->setShootDay(QDate::currentDate().addDays(-2));
    EXPECT_TRUE(f->showPastDateAlert()) << "also with the switch already off";
    f->setShootDay(QDate::currentDate().addDays(2));
    f->setSyncToCalendar(true);
    f->setShootDateTBD(true);
    EXPECT_FALSE(f->syncToCalendar());
}

TEST_F(OrderFormModelTest, PaymentsAndCompletionSettleInWholeCents)
{
    const QDateTime now = QDateTime::currentDateTime();
    struct Row { double total; QList<PaymentRecord> paid; QString typed; bool received; OrderStatus after;
                 int payments; QString filled = "4000"; };
    const Row rows[] = {
        // The balance fills in and settles the order.
        {5000, {pay(1000, now)}, "", false, OrderStatus::completed, 2},
        // Owed fen are filled in too, or confirming would leave them owed.
        {3999.5, {pay(2000, now)}, "", false, OrderStatus::completed, 2, "1999.50"},
        // A partial balance payment marks the shoot done with money owed.
        {5000, {pay(1000, now)}, "1500", false, OrderStatus::pendingBalance, 2},
        {5000, {pay(1000, now)}, "1,500", false, OrderStatus::pendingShoot, 1},
        {5000, {pay(1000, now)}, "1e400", false, OrderStatus::pendingShoot, 1},
        // "是，已收尾款" pays what is owed, in cents.
        {1000.1, {pay(300.05, now)}, QString(), true, OrderStatus::completed, 2},
        {0, {}, QString(), true, OrderStatus::completed, 0},
    };
    for (const Row& r : rows) {
        const Order o = storedOrder(r.total, r.paid, r.paid.isEmpty() ? OrderStatus::pendingDeposit : OrderStatus::pendingShoot);
        auto f = form(o);
        if (r.received) {
            f->requestShootCompletion();
            f->confirmShootBalanceReceived();
        } else {
            f->startBalancePayment();
            EXPECT_EQ(f->paymentAmount(), r.filled);
            if (!r.typed.isEmpty())
                f->setPaymentAmount(r.typed);
            const bool stored = f->confirmPayment();
            EXPECT_EQ(f->paymentAmount().isEmpty(), stored) << "a refused amount stays for mending";
        }
        ASSERT_TRUE(f->latestOrder());
        EXPECT_EQ(f->latestOrder()->status, r.after) << r.total << " " << r.typed.toStdString();
        EXPECT_EQ(f->latestOrder()->payments.size(), r.payments);
        if (r.after == OrderStatus::completed && r.total > 0)
            EXPECT_TRUE(f->isOrderFullyPaid());
    }
    const Order cents = storedOrder(4000, {pay(858.26, now), pay(2731.22, now), pay(0.52, now)}, OrderStatus::pendingShoot);
    EXPECT_EQ(Money::centsYuanText(form(cents)->receivedCents()), "¥3590");

    // A payment registered meanwhile is not taken twice.
    const Order o = storedOrder(5000, {pay(1000, now)}, OrderStatus::pendingShoot);
    auto f = form(o);
    orders->addPayment(o, 1500, "补款");
    f->confirmShootBalanceReceived();
    EXPECT_EQ(f->latestOrder()->receivedAmount(), 5000);
    EXPECT_EQ(f->latestOrder()->payments.last().note, "尾款");
}

TEST_F(OrderFormModelTest, PaymentHistoryIsNewestFirstAndEqualDatesAsStored)
{
    const QDateTime now = QDateTime::currentDateTime();
    QList<PaymentRecord> paid{pay(1, now), pay(2, now), pay(3, now.addDays(-1)), pay(4, now.addDays(1)), pay(5, now)};
    auto f = form(storedOrder(100, paid, OrderStatus::pendingShoot));
    QList<double> listed;
    for (const PaymentRecord& p : f->paymentHistory())
        listed.append(p.amount);
    EXPECT_EQ(listed, (QList<double>{4, 1, 2, 5, 3}));
}

TEST_F(OrderFormModelTest, OutstandingAnswerAndDeleteTouchOnlyTheStore)
{
    const Order o = storedOrder(5000, {pay(1000, QDateTime::currentDateTime())}, OrderStatus::pendingShoot);
    auto f = form(o);
    f->confirmShootBalanceOutstanding();
    EXPECT_EQ(f->latestOrder()->status, OrderStatus::pendingBalance);
    EXPECT_FALSE(f->canMarkShootCompleted());
    QStringList deleted;
    orders->setCalendarEventDeleter([&](const QList<Order>& going) {
        for (const Order& g : going)
            deleted.append(g.calendarEventIdentifier.value_or(QString()));
    });
    Order withEvent = f->latestOrder().value();
    withEvent.calendarEventIdentifier = "EV1";
    orders->updateOrder(withEvent);
    f->deleteOrder();
    EXPECT_TRUE(orders->orders().isEmpty());
    EXPECT_EQ(deleted, QStringList({"EV1"}));
    EXPECT_TRUE(saved.isEmpty());
}

}
