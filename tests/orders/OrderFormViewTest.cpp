#include "OrdersFixture.h"

#include "orderbook/CalendarSyncManager.h"
#include "orders/OrderFormView.h"
#include "orders/StatusBadge.h"
#include "platform/CalendarStore.h"
#include "InMemoryCalendarStore.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/SheetDialog.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QLineEdit>
#include <QMessageBox>

namespace {

class OrderFormViewTest : public OrdersFixture
{
protected:
    void SetUp() override
    {
        OrdersFixture::SetUp();
        static CalendarStore* calendar = CalendarStore::installShared(std::make_unique<InMemoryCalendarStore>());
        calendar->setAuthorizationStatus(CalendarAuthorizationStatus::FullAccess);
        OrderFormModel::setCalendarPermission({});
    }
    std::unique_ptr<OrderFormView> open(const std::optional<Order>& o = std::nullopt)
    {
        auto view = std::make_unique<OrderFormView>(*orders, *packages, *store, o,
                                                    QDateTime(QDate::currentDate().addDays(2), QTime(0, 0)),
                                                    [this](const Order& s) { saved.append(s); });
        view->show();
        QApplication::processEvents();
        return view;
    }
    static void type(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    Order paidOrder()
    {
        Order o = order("王女士", QDateTime(QDate::currentDate().addDays(5), QTime(10, 0)), 5000,
                        {pay(1000, QDateTime::currentDateTime().addDays(-3)), pay(500, QDateTime::currentDateTime())},
                        OrderStatus::pendingShoot);
        o.payments[1].note = "补款";
        EXPECT_TRUE(orders->addOrder(o));
        return o;
    }
    QList<Order> saved;
};

TEST_F(OrderFormViewTest, TypingAnAmountStopsTheAutoFillButTheFillDoesNot)
{
    packages->addPackage("婚纱", 3680, 500);
    packages->addPackage("写真", 1288.8, 200);
    auto view = open();
    view->model().setPackageType("婚纱");
    QApplication::processEvents();
    auto* total = child<QLineEdit>(view.get(), "totalAmount");
    EXPECT_EQ(total->text(), "3680");
    EXPECT_FALSE(view->model().hasManualModifiedAmount());
    view->model().setPackageType("写真");
    QApplication::processEvents();
    EXPECT_EQ(total->text(), "1288");
    type(child<QLineEdit>(view.get(), "depositAmount"), "100");
    view->model().setPackageType("婚纱");
    QApplication::processEvents();
    EXPECT_EQ(total->text(), "1288");
    EXPECT_EQ(child<StatusBadge>(view.get(), "statusBadge")->text(), "待拍摄");
}

TEST_F(OrderFormViewTest, ChipsSelectByExactTextAndTheCheckmarkSavesFirst)
{
    auto view = open();
    click(child(view.get(), "quickLocation2"));
    auto* location = child<QLineEdit>(view.get(), "shootLocation");
    EXPECT_EQ(location->text(), "天空");
    EXPECT_TRUE(child(view.get(), "quickLocation2")->property("selected").toBool());
    type(location, " ");
    EXPECT_FALSE(child(view.get(), "quickLocation2")->property("selected").toBool());
    click(child(view.get(), "quickLocationEditButton"));
    auto* first = child<QLineEdit>(view.get(), "quickLocation0");
    ASSERT_TRUE(first);
    first->selectAll();
    QTest::keyClicks(first, "Park");
    click(child(view.get(), "quickLocationEditButton"));
    EXPECT_EQ(store->array("quickShootLocations").value_or(QVariantList()).value(0).toString(), "Park");
    EXPECT_TRUE(qobject_cast<PlateButton*>(child(view.get(), "quickLocation0")));
}

TEST_F(OrderFormViewTest, SaveHandsOverTheOrderAndDeniedAccessAlerts)
{
    CalendarStore::shared().setAuthorizationStatus(CalendarAuthorizationStatus::Denied);
    auto view = open();
    click(child(view.get(), "syncSwitch"));
    QApplication::processEvents();
    auto* alert = view->findChild<QMessageBox*>("calendarPermissionAlert");
    ASSERT_TRUE(alert);
    alert->reject();
    EXPECT_FALSE(view->model().syncToCalendar());
    click(child(view.get(), "saveButton"));
    EXPECT_TRUE(saved.isEmpty()) << "no name";
    type(child<QLineEdit>(view.get(), "customerName"), "Li");
    type(child<QLineEdit>(view.get(), "depositAmount"), "300");
    click(child(view.get(), "saveButton"));
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].payments.size(), 1);
    EXPECT_FALSE(view->isVisible());
}

TEST_F(OrderFormViewTest, PaymentSheetRegistersTheBalanceAtOnce)
{
    auto view = open(paidOrder());
    EXPECT_EQ(child<ThemedLabel>(view.get(), "receivedTotal")->text(), "¥1500");
    click(child(view.get(), "registerBalanceButton"));
    auto* sheet = openSheet<SheetDialog>("paymentSheet");
    ASSERT_TRUE(sheet);
    EXPECT_EQ(child<QLineEdit>(sheet, "paymentAmount")->text(), "3500");
    click(child(sheet, "paymentConfirmButton"));
    QApplication::processEvents();
    EXPECT_EQ(child<ThemedLabel>(view.get(), "pendingTotal")->text(), "¥0");
    EXPECT_TRUE(child(view.get(), "settledBadge")->isVisible());
    EXPECT_FALSE(child(view.get(), "registerBalanceButton")->isEnabled());
    EXPECT_EQ(orders->orders().first().status, OrderStatus::completed);
}

TEST_F(OrderFormViewTest, Screenshots)
{
    Fonts::installApplicationFont();
    const Order o = paidOrder();
    for (const AppThemeStyle style : {AppThemeStyle::dark, AppThemeStyle::light}) {
        ThemeObserver::shared().setStyle(style);
        const QString theme = AppThemeStyles::rawValue(style);
        saveShot(open().get(), "order-form-new-" + theme);
        auto edit = open(o);
        saveShot(edit.get(), "order-form-edit-" + theme);
        click(child(edit.get(), "registerBalanceButton"));
        SheetDialog* payment = openSheet<SheetDialog>("paymentSheet");
        ASSERT_TRUE(payment);
        saveShot(payment, "order-form-payment-" + theme);
        payment->reject();
        click(child(edit.get(), "markShootCompletedButton"));
        SheetDialog* complete = openSheet<SheetDialog>("shootCompleteSheet");
        ASSERT_TRUE(complete);
        saveShot(complete, "order-form-complete-" + theme);
        complete->reject();
    }
}

}

namespace {

TEST_F(OrderFormViewTest, FullAccessRefreshesTheCalendarSyncPermission)
{
    const auto checks = [] {
        QFile log(CalendarSyncManager::shared().logFilePath());
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).count("日历权限状态: 已授权（完整访问）")
                                             : -1;
    };
    CalendarSyncManager::shared();
    auto view = open(); // lets the manager run its own first check
    const int before = checks();
    click(child(view.get(), "syncSwitch"));
    QApplication::processEvents();
    EXPECT_TRUE(view->model().syncToCalendar());
    EXPECT_EQ(checks(), before + 1);
}

}
