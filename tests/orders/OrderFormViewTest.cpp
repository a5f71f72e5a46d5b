#include "OrdersFixture.h"

#include "orderbook/CalendarSyncManager.h"
#include "orderbook/LocalCalendar.h"
#include "orderbook/Money.h"
#include "orderbook/OrderbookKeys.h"
#include "orders/OrderFormView.h"
#include "orders/StatusBadge.h"
#include "ui/AppTheme.h"
#include "ui/DateField.h"
#include "ui/Fonts.h"
#include "ui/SheetDialog.h"
#include "ui/ThemeObserver.h"
#include "ui/ToggleSwitch.h"
#include "ui/UiKeys.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>

namespace {

class OrderFormViewTest : public OrdersFixture
{
protected:
    void SetUp() override
    {
        OrdersFixture::SetUp();
        grantCalendar();
        OrderFormModel::setCalendarPermission({});
    }
    std::unique_ptr<OrderFormView> open(const std::optional<Order>& o = std::nullopt,
                                        const QDate& day = QDate::currentDate().addDays(2))
    {
        auto view = std::make_unique<OrderFormView>(*orders, *packages, *store, o, QDateTime(day, QTime(0, 0)),
                                                    [this](const Order& s) {
                                                        saved.append(s);
                                                        return true;
                                                    });
        view->show();
        QApplication::processEvents();
        return view;
    }
    Order paidOrder()
    {
        const QDateTime now = QDateTime::currentDateTime();
        return storedOrder(5000, {pay(1000, now.addDays(-3)), PaymentRecord(500, now, "补款")}, OrderStatus::pendingShoot);
    }
    static SheetDialog* openPaymentSheet(OrderFormView* view)
    {
        UserInput::click(reveal(child(view, "registerBalanceButton")));
        return openSheet<SheetDialog>("paymentSheet");
    }
    static QString label(OrderFormView* view, const QString& name) { return child<QLabel>(view, name)->text(); }
    static QString badge(OrderFormView* view) { return child<StatusBadge>(view, "statusBadge")->text(); }
    // Picks `name` in the package menu that the package button opens.
    void choosePackage(OrderFormView* view, const QString& name, QColor* menuBackground = nullptr)
    {
        QTimer::singleShot(0, view, [name, menuBackground] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu && menuBackground)
                *menuBackground = menu->grab().toImage().pixelColor(2, menu->height() / 2);
            UserInput::chooseMenuItem(name);
        });
        UserInput::click(child(view, "packageButton"));
    }
    static bool invalid(QWidget* field) { return field->property("invalidAmount").toBool(); }
    static bool pastDateAlertUp(OrderFormView* view)
    {
        for (auto* box : view->findChildren<QMessageBox*>("pastDateAlert"))
            if (box->isVisible())
                return true;
        return false;
    }
    // Selects the whole day and types `text` key by key, as a user does;
    // then `end` (Enter, Tab) unless it is Qt::Key_unknown.
    static void typeDay(OrderFormView* view, const QString& text, Qt::Key end)
    {
        auto* day = child<DateField>(view, "shootDay");
        UserInput::click(day, Qt::LeftButton, QPoint(12, day->height() / 2));
        UserInput::key(day, Qt::Key_A, Qt::ControlModifier);
        for (const QChar c : text) {
            UserInput::keys(day, c);
            EXPECT_FALSE(pastDateAlertUp(view)) << "while typing " << text.toStdString();
        }
        if (end != Qt::Key_unknown)
            UserInput::key(day, end);
        QApplication::processEvents();
    }
    static void closePastDateAlert(OrderFormView* view)
    {
        for (auto* box : view->findChildren<QMessageBox*>("pastDateAlert"))
            if (box->isVisible())
                UserInput::click(box->buttons().first());
        QApplication::processEvents();
    }
    QList<Order> saved;
};

TEST_F(OrderFormViewTest, TypingAnAmountStopsTheAutoFillButTheFillDoesNot)
{
    packages->addPackage("婚纱", 3680, 500);
    packages->addPackage("写真", 1288.8, 200);
    auto view = open();
    choosePackage(view.get(), "婚纱");
    auto* total = child<QLineEdit>(view.get(), "totalAmount");
    EXPECT_EQ(total->text(), "3680");
    EXPECT_FALSE(view->model().hasManualModifiedAmount());
    retype(child(view.get(), "depositAmount"), "100");
    choosePackage(view.get(), "写真");
    EXPECT_EQ(total->text(), "3680");
    EXPECT_EQ(badge(view.get()), "待拍摄");
}

TEST_F(OrderFormViewTest, PackageMenuTakesTheTheme)
{
    for (const AppThemeStyle style : {AppThemeStyle::dark, AppThemeStyle::light}) {
        ThemeObserver::shared().setStyle(style);
        auto view = open();
        QColor background;
        choosePackage(view.get(), "标准套系", &background);
        EXPECT_EQ(background.lightness() < 128, style == AppThemeStyle::dark) << background.name().toStdString();
    }
}

TEST_F(OrderFormViewTest, ChipsSelectByExactTextAndTheCheckmarkSavesFirst)
{
    auto view = open();
    UserInput::click(child(view.get(), "quickLocation2"));
    auto* location = child<QLineEdit>(view.get(), "shootLocation");
    EXPECT_EQ(location->text(), "天空");
    EXPECT_TRUE(child(view.get(), "quickLocation2")->property("selected").toBool());
    UserInput::type(location, " ");
    EXPECT_FALSE(child(view.get(), "quickLocation2")->property("selected").toBool());
    UserInput::click(child(view.get(), "quickLocationEditButton"));
    retype(child(view.get(), "quickLocation0"), "Park");
    UserInput::click(child(view.get(), "quickLocationEditButton"));
    EXPECT_EQ(store->array("quickShootLocations").value_or(QVariantList()).value(0).toString(), "Park");
}

TEST_F(OrderFormViewTest, SaveStoresOnlyWhatItCanAndSaysWhyNot)
{
    struct Row { QString name, total, deposit, reason; };
    const Row rows[] = {
        {"", "", "", "请填写客户姓名"},
        {"李", "3,999", "", "订单总额：「3,999」不是有效金额"},
        {"李", "５００", "", "订单总额：「５００」不是有效金额"},
        {"李", "abc", "", "订单总额：「abc」不是有效金额"},
        {"李", "100000000", "", "订单总额：金额不能超过 ¥99,999,999.99"},
        {"李", "3999", "1,000", "定金金额：「1,000」不是有效金额"},
        {"李", "99999999.99", "300", ""},
    };
    for (const Row& r : rows) {
        saved.clear();
        auto view = open();
        if (!r.name.isEmpty())
            UserInput::type(child(view.get(), "customerName"), r.name);
        if (!r.total.isEmpty())
            UserInput::type(child(view.get(), "totalAmount"), r.total);
        if (!r.deposit.isEmpty())
            UserInput::type(child(view.get(), "depositAmount"), r.deposit);
        EXPECT_EQ(invalid(child(view.get(), "totalAmount")), r.reason.startsWith("订单总额")) << r.total.toStdString();
        UserInput::click(child(view.get(), "saveButton"));
        auto* problem = child<QLabel>(view.get(), "saveProblem");
        if (r.reason.isEmpty()) {
            ASSERT_EQ(saved.size(), 1);
            EXPECT_EQ(saved[0].totalAmount, 99999999.99);
            EXPECT_EQ(saved[0].payments.size(), 1);
            EXPECT_FALSE(view->isVisible());
            continue;
        }
        EXPECT_TRUE(saved.isEmpty()) << r.reason.toStdString();
        EXPECT_TRUE(view->isVisible());
        EXPECT_TRUE(problem->isVisible());
        EXPECT_TRUE(problem->text().startsWith(r.reason)) << problem->text().toStdString();
    }
}

TEST_F(OrderFormViewTest, EditedAmountsOpenInPlainDigits)
{
    for (const double total : {100000.0, 200000.0, 1000000.0, 0.0001}) {
        Order o = order("周", QDateTime(QDate::currentDate().addDays(3), QTime(9, 0)), total, {});
        o.depositAmount = total;
        ASSERT_TRUE(orders->addOrder(o));
        auto view = open(o);
        const QString text = child<QLineEdit>(view.get(), "totalAmount")->text();
        EXPECT_FALSE(text.contains('e')) << text.toStdString();
        EXPECT_EQ(text, child<QLineEdit>(view.get(), "depositAmount")->text());
        EXPECT_EQ(Money::parseAmount(text), total);
        UserInput::click(child(view.get(), "saveButton"));
        ASSERT_FALSE(saved.isEmpty());
        EXPECT_EQ(saved.last().totalAmount, total) << "saved unchanged";
    }
}

TEST_F(OrderFormViewTest, DeleteAsksFirstNamingTheCustomer)
{
    const Order o = paidOrder();
    auto view = open(o);
    for (const bool confirm : {false, true}) {
        UserInput::click(reveal(child(view.get(), "deleteButton")));
        auto* box = view->findChild<QMessageBox*>("deleteConfirmation");
        ASSERT_TRUE(box);
        EXPECT_TRUE(box->text().contains("王女士"));
        ASSERT_TRUE(box->defaultButton());
        EXPECT_EQ(box->defaultButton()->text(), "取消");
        if (confirm) {
            for (QAbstractButton* b : box->buttons()) {
                if (b->text() == "删除")
                    UserInput::click(b);
            }
        } else {
            UserInput::key(box, Qt::Key_Return);
        }
        QApplication::processEvents();
        EXPECT_EQ(orders->orders().isEmpty(), confirm);
        EXPECT_EQ(view->isVisible(), !confirm);
    }
}

TEST_F(OrderFormViewTest, ShootDayIsCheckedOnceEnteredNotPerKeystroke)
{
    const QDate today = QDate::currentDate();
    struct Row { QString typed; QDate day; Qt::Key enter; };
    const Row rows[] = {
        {today.toString("yyyyMMdd"), today, Qt::Key_Return},                         // today is not past
        {today.addDays(-1).toString("yyyyMMdd"), today.addDays(-1), Qt::Key_Return},
        {today.addDays(-1).toString("yyyyMMdd"), today.addDays(-1), Qt::Key_Tab},   // focus leaves
        {today.addYears(1).toString("yyyy") + "1023", QDate(today.year() + 1, 10, 23), Qt::Key_Return},
    };
    store->set(OrderbookKeys::syncCalendarDefault, true);
    for (const Row& r : rows) {
        auto view = open();
        auto* day = child<QDateEdit>(view.get(), "shootDay");
        ASSERT_TRUE(view->model().syncToCalendar());
        // Into the year, from the field's start.
        UserInput::doubleClick(day, QPoint(12, day->height() / 2));
        for (const QChar c : r.typed) {
            UserInput::key(day, Qt::Key(Qt::Key_0 + c.digitValue()));
            EXPECT_FALSE(view->findChild<QMessageBox*>("pastDateAlert")) << "while typing " << r.typed.toStdString();
        }
        EXPECT_EQ(day->date(), r.day) << r.typed.toStdString();
        EXPECT_TRUE(view->model().syncToCalendar()) << r.typed.toStdString();
        UserInput::key(day, r.enter);
        QApplication::processEvents();
        const bool past = r.day < today;
        EXPECT_EQ(bool(view->findChild<QMessageBox*>("pastDateAlert")), past) << r.typed.toStdString();
        EXPECT_EQ(view->model().syncToCalendar(), !past);
    }
}

TEST_F(OrderFormViewTest, PaymentSheetStoresOnlyWhatItCanAndTheHeaderFollows)
{
    struct Row { QString typed; QString reason; };
    const Row rows[] = {{"1,000", "收款金额：「1,000」不是有效金额"}, {"５００", "收款金额：「５００」不是有效金额"},
                        {"abc", "收款金额：「abc」"}, {"100000000", "收款金额：金额不能超过"},
                        {"0", "收款金额需大于 0"}, {"1500.5", ""}};
    auto view = open(paidOrder());
    EXPECT_EQ(badge(view.get()), "待拍摄");
    EXPECT_EQ(label(view.get(), "receivedTotal"), "¥1500");
    auto* sheet = openPaymentSheet(view.get());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(child<QLineEdit>(sheet, "paymentAmount")->text(), "3500");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.typed.toStdString());
        auto* amount = child<QLineEdit>(sheet, "paymentAmount");
        retype(amount, r.typed);
        EXPECT_EQ(invalid(amount), r.reason.startsWith("收款金额："));
        UserInput::click(child(sheet, "paymentConfirmButton"));
        if (!r.reason.isEmpty()) {
            EXPECT_TRUE(sheet->isVisible());
            EXPECT_TRUE(child<QLabel>(sheet, "paymentProblem")->text().startsWith(r.reason));
            EXPECT_EQ(orders->orders().first().payments.size(), 2);
        }
    }
    EXPECT_EQ(openSheet<SheetDialog>("paymentSheet"), nullptr);
    EXPECT_EQ(orders->orders().first().payments.size(), 3);
    EXPECT_EQ(label(view.get(), "receivedTotal"), "¥3000");
    EXPECT_EQ(badge(view.get()), "已拍摄待收尾款") << "the header follows the store";

    // The rest to the cent settles it.
    sheet = openPaymentSheet(view.get());
    ASSERT_TRUE(sheet);
    retype(child(sheet, "paymentAmount"), "1999.5");
    UserInput::click(child(sheet, "paymentConfirmButton"));
    EXPECT_EQ(label(view.get(), "pendingTotal"), "¥0");
    EXPECT_TRUE(child(view.get(), "settledBadge")->isVisible());
    EXPECT_FALSE(child(view.get(), "registerBalanceButton")->isEnabled());
    EXPECT_EQ(orders->orders().first().status, OrderStatus::completed);
    EXPECT_EQ(badge(view.get()), "已结清");
}

TEST_F(OrderFormViewTest, HugeStoredTotalsShowEveryDigit)
{
    Order o = order("钱", QDateTime(QDate::currentDate().addDays(3), QTime(9, 0)), 99999999999999999999.0,
                    {pay(1e19, QDateTime::currentDateTime())}, OrderStatus::pendingShoot);
    ASSERT_TRUE(orders->addOrder(o));
    auto view = open(o);
    EXPECT_EQ(label(view.get(), "pendingTotal"), "¥90000000000000000000");
    EXPECT_EQ(label(view.get(), "receivedTotal"), "¥10000000000000000000");
}

TEST_F(OrderFormViewTest, Screenshots)
{
    Fonts::installApplicationFont();
    Order o = paidOrder();
    o.note = "第一行\n第二行";
    orders->updateOrder(o);
    for (const AppThemeStyle style : {AppThemeStyle::dark, AppThemeStyle::light}) {
        ThemeObserver::shared().setStyle(style);
        const QString theme = AppThemeStyles::rawValue(style);
        auto created = open();
        saveShot(created.get(), "order-form-new-" + theme);
        expectCleanLayout(created.get());
        auto edit = open(o);
        saveShot(edit.get(), "order-form-edit-" + theme);
        expectCleanLayout(edit.get());
        EXPECT_EQ(UserInput::widgetUnder(child(edit.get(), "saveButton")), child(edit.get(), "saveButton"));
        SheetDialog* payment = openPaymentSheet(edit.get());
        ASSERT_TRUE(payment);
        saveShot(payment, "order-form-payment-" + theme);
        expectCleanLayout(payment);
        payment->reject();
        UserInput::click(reveal(child(edit.get(), "markShootCompletedButton")));
        SheetDialog* complete = openSheet<SheetDialog>("shootCompleteSheet");
        ASSERT_TRUE(complete);
        saveShot(complete, "order-form-complete-" + theme);
        complete->reject();
    }
}

TEST_F(OrderFormViewTest, SyncSwitchAlertsWithoutAccessAndRefreshesWithFullAccess)
{
    const auto checks = [] {
        QFile log(CalendarSyncManager::shared().logFilePath());
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).count("日历权限状态: 已授权（完整访问）")
                                             : -1;
    };
    CalendarSyncManager::shared();
    for (const bool granted : {false, true}) {
        SCOPED_TRACE(granted);
        CalendarStore::shared().setAuthorizationStatus(granted ? CalendarAuthorizationStatus::FullAccess
                                                               : CalendarAuthorizationStatus::Denied);
        auto view = open(); // lets the manager run its own first check
        const int before = checks();
        UserInput::click(child(view.get(), "syncSwitch"));
        QApplication::processEvents();
        auto* alert = view->findChild<QMessageBox*>("calendarPermissionAlert");
        EXPECT_EQ(bool(alert), !granted);
        if (alert)
            alert->reject();
        EXPECT_EQ(view->model().syncToCalendar(), granted);
        EXPECT_EQ(checks(), before + int(granted));
    }
}

TEST_F(OrderFormViewTest, ClicksOnTheShootDayNeverStepItOnlyAPickInThePopupDoes)
{
    const QDate day = QDate::currentDate().addDays(20);
    auto view = open(std::nullopt, day);
    UserInput::type(child(view.get(), "customerName"), "王女士");
    auto* field = child<DateField>(view.get(), "shootDay");
    clickAllOver(field);
    EXPECT_EQ(field->date(), day);
    UserInput::click(child(view.get(), "saveButton"));
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved.last().shootDate.date(), day);

    auto again = open(std::nullopt, day);
    UserInput::type(child(again.get(), "customerName"), "李先生");
    auto* picked = child<DateField>(again.get(), "shootDay");
    ASSERT_TRUE(pickNextDayInPopup(picked));
    QApplication::processEvents();
    EXPECT_EQ(picked->date(), day.addDays(1));
    UserInput::click(child(again.get(), "saveButton"));
    ASSERT_EQ(saved.size(), 2);
    EXPECT_EQ(saved.last().shootDate.date(), day.addDays(1));
}

TEST_F(OrderFormViewTest, TypedDaysAreJudgedOnceEnteredAndImpossibleOnesRefused)
{
    const QDate today = QDate::currentDate();
    const QDate opened = today.addDays(2);
    const int next = today.year() + 1;
    const QString future = QString("%1-01-02").arg(next);
    const QString past = QString("%1-01-02").arg(today.year() - 1);
    struct Step { QString typed; Qt::Key end; QDate day; bool alert; bool sync; QString refused; };
    struct Row { const char* what; bool userTurnsSyncOff; QList<Step> steps; };
    const Row rows[] = {
        {"a later year in one go", false, {{future, Qt::Key_Return, QDate(next, 1, 2), false, true, {}}}},
        {"a past day, then a later one: the switch the app turned off comes back", false,
         {{past, Qt::Key_Return, QDate(today.year() - 1, 1, 2), true, false, {}},
          {future, Qt::Key_Tab, QDate(next, 1, 2), false, true, {}}}},
        {"a switch the user turned off stays off", true,
         {{past, Qt::Key_Return, QDate(today.year() - 1, 1, 2), true, false, {}},
          {future, Qt::Key_Return, QDate(next, 1, 2), false, false, {}}}},
        {"no 30th of February", false,
         {{QString("%1-02-30").arg(next), Qt::Key_unknown, opened, false, true, QString("%1-02-30").arg(next)},
          {"", Qt::Key_Return, opened, false, true, {}}}},
        {"no 13th month", false, {{QString("%1-13").arg(next), Qt::Key_Return, opened, false, true, QString("%1-13-").arg(next)}}},
    };
    store->set(OrderbookKeys::syncCalendarDefault, true);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        auto view = open(std::nullopt, opened);
        if (r.userTurnsSyncOff)
            UserInput::click(child(view.get(), "syncSwitch"));
        auto* day = child<DateField>(view.get(), "shootDay");
        for (const Step& s : r.steps) {
            if (!s.typed.isEmpty())
                typeDay(view.get(), s.typed, s.end);
            else
                UserInput::key(day, s.end);
            QApplication::processEvents();
            EXPECT_EQ(day->date(), s.day) << s.typed.toStdString();
            EXPECT_EQ(LocalCalendar::dayOf(view->model().shootDate()), s.day) << s.typed.toStdString();
            EXPECT_EQ(pastDateAlertUp(view.get()), s.alert) << s.typed.toStdString();
            closePastDateAlert(view.get());
            EXPECT_EQ(view->model().syncToCalendar(), s.sync) << s.typed.toStdString();
            if (!s.refused.isEmpty()) {
                EXPECT_TRUE(day->refusal().contains("「" + s.refused)) << day->refusal().toStdString();
                EXPECT_EQ(QToolTip::text(), day->refusal());
            }
        }
    }
}

TEST_F(OrderFormViewTest, DayPopupFollowsTheThemeAndTheWeekStart)
{
    Fonts::installApplicationFont();
    for (const AppThemeStyle style : {AppThemeStyle::dark, AppThemeStyle::light}) {
        ThemeObserver::shared().setStyle(style);
        const bool dark = style == AppThemeStyle::dark;
        for (const bool monday : {true, false}) {
            store->set(UiKeys::weekStartsOnMonday, monday);
            auto view = open();
            auto* field = child<DateField>(view.get(), "shootDay");
            UserInput::click(field, Qt::LeftButton, QPoint(field->width() - 6, field->height() / 2));
            QWidget* popup = QApplication::activePopupWidget();
            ASSERT_TRUE(popup);
            auto* calendar = popup->findChild<QCalendarWidget*>("dateFieldCalendar");
            ASSERT_TRUE(calendar);
            EXPECT_EQ(calendar->firstDayOfWeek(), monday ? Qt::Monday : Qt::Sunday);
            const QImage shot = popup->grab().toImage();
            const QWidget* bar = calendar->findChild<QWidget*>("qt_calendar_navigationbar");
            const QWidget* days = calendar->findChild<QWidget*>("qt_calendar_calendarview");
            const QPoint barPoint = bar->mapTo(popup, QPoint(2, bar->height() / 2));
            const QPoint dayPoint = days->mapTo(popup, QPoint(2, days->height() - 3));
            EXPECT_EQ(shot.pixelColor(barPoint).lightness() < 128, dark) << shot.pixelColor(barPoint).name().toStdString();
            EXPECT_EQ(shot.pixelColor(dayPoint).lightness() < 128, dark) << shot.pixelColor(dayPoint).name().toStdString();
            if (monday)
                ASSERT_TRUE(shot.save(shotPath("order-form-day-popup-" + AppThemeStyles::rawValue(style))));
            popup->close();
        }
    }
}

TEST_F(OrderFormViewTest, PackageFillWritesTheExactPrice)
{
    packages->addPackage("半元", 8888.5, 300.5);
    packages->addPackage("整元", 8888, 300);
    auto view = open();
    UserInput::type(child(view.get(), "customerName"), "王女士");
    auto* total = child<QLineEdit>(view.get(), "totalAmount");
    auto* deposit = child<QLineEdit>(view.get(), "depositAmount");
    choosePackage(view.get(), "整元");
    EXPECT_EQ(total->text(), "8888");
    EXPECT_EQ(deposit->text(), "300");
    choosePackage(view.get(), "半元");
    EXPECT_EQ(total->text(), "8888.5");
    EXPECT_EQ(deposit->text(), "300.5");
    UserInput::click(child(view.get(), "saveButton"));
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved.last().totalAmount, 8888.5);
    EXPECT_EQ(saved.last().depositAmount, 300.5);
}

TEST_F(OrderFormViewTest, ASlashADashOrADotClosesAShortSection)
{
    const int next = QDate::currentDate().year() + 1;
    const QString y = QString::number(next);
    struct Row { QString typed; Qt::Key end; QDate day; };
    const Row rows[] = {
        {y + "/1/2", Qt::Key_Return, QDate(next, 1, 2)},
        {y + "/1/2", Qt::Key_Tab, QDate(next, 1, 2)},
        {y + "-1-2", Qt::Key_Return, QDate(next, 1, 2)},
        {y + ".1.2", Qt::Key_Return, QDate(next, 1, 2)},
        {y + "/1/25", Qt::Key_Return, QDate(next, 1, 25)},
        {y + "/11/2", Qt::Key_Return, QDate(next, 11, 2)}, // a full month needs no closing
        {y + "/3-4", Qt::Key_Tab, QDate(next, 3, 4)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.typed.toStdString());
        auto view = open();
        typeDay(view.get(), r.typed, r.end);
        EXPECT_EQ(child<DateField>(view.get(), "shootDay")->date(), r.day);
        EXPECT_EQ(LocalCalendar::dayOf(view->model().shootDate()), r.day);
    }
}

// Erasing the day's digits passes through other days (15 -> 1 -> nothing):
// ending the entry there, by any way, keeps the day last entered.
TEST_F(OrderFormViewTest, AHalfErasedDayIsRefusedHoweverTheEntryEnds)
{
    const QDate entered(QDate::currentDate().year() + 1, 3, 15);
    const QString half = entered.toString("yyyy-MM-");
    for (const char* end : {"Enter", "Tab", "save"}) {
        SCOPED_TRACE(end);
        auto view = open();
        UserInput::type(child(view.get(), "customerName"), "王女士");
        auto* day = child<DateField>(view.get(), "shootDay");
        typeDay(view.get(), entered.toString("yyyyMMdd"), Qt::Key_Return);
        ASSERT_EQ(LocalCalendar::dayOf(view->model().shootDate()), entered);
        UserInput::key(day, Qt::Key_End);
        UserInput::key(day, Qt::Key_Backspace);
        UserInput::key(day, Qt::Key_Backspace);
        ASSERT_EQ(day->text(), half);
        if (QString(end) == "save")
            UserInput::click(child(view.get(), "saveButton"));
        else
            UserInput::key(day, QString(end) == "Tab" ? Qt::Key_Tab : Qt::Key_Return);
        QApplication::processEvents();
        EXPECT_EQ(day->date(), entered);
        EXPECT_EQ(day->text(), entered.toString("yyyy-MM-dd"));
        EXPECT_EQ(LocalCalendar::dayOf(view->model().shootDate()), entered);
        EXPECT_TRUE(day->refusal().contains("「" + half)) << day->refusal().toStdString();
        EXPECT_TRUE(saved.isEmpty());
    }
}

// A click leaves the field stepping as usual: by its arrow keys and, once
// focused, by the wheel, in the section the click went to. The click lands
// on the digits, or on the frame around them, which the field itself takes.
TEST_F(OrderFormViewTest, AClickedDayStepsByArrowKeysAndTheWheel)
{
    const QDate opened = QDate::currentDate().addDays(20);
    struct Step { const char* what; int years; };
    const Step steps[] = {{"Up", 1}, {"Up", 2}, {"Down", 1}, {"wheel away", 2}, {"wheel back", 1}};
    struct Place { const char* where; int x; int y; }; // y -1: halfway down
    for (const Place& p : {Place{"on the year", 12, -1}, Place{"on the frame before it", 2, -1},
                           Place{"on the frame above it", 12, 1}}) {
        SCOPED_TRACE(p.where);
        auto view = open(std::nullopt, opened);
        auto* day = child<DateField>(view.get(), "shootDay");
        UserInput::click(day, Qt::LeftButton, QPoint(p.x, p.y < 0 ? day->height() / 2 : p.y));
        for (const Step& s : steps) {
            const QString what(s.what);
            if (what.startsWith("wheel"))
                UserInput::wheel(day, what.endsWith("away") ? 1 : -1);
            else
                UserInput::key(day, what == "Up" ? Qt::Key_Up : Qt::Key_Down);
            EXPECT_EQ(day->date(), opened.addYears(s.years)) << s.what;
        }
        UserInput::key(day, Qt::Key_Return);
        EXPECT_EQ(LocalCalendar::dayOf(view->model().shootDate()), opened.addYears(1));
    }
}

}
