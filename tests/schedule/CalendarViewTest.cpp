#include "ScheduleModelFixture.h"

#include "orderbook/OrderbookKeys.h"
#include "schedule/CalendarBatchSelection.h"
#include "schedule/CalendarSyncStatusBar.h"
#include "schedule/CalendarViewBody.h"
#include "schedule/CalendarMark.h"
#include "schedule/CalendarWidgets.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "schedule/ScheduleCalendarModel.h"
#include "schedule/ScheduleKeys.h"
#include "ui/AppTheme.h"
#include "ui/PlateButton.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedPanel.h"
#include "ui/Fader.h"
#include "ui/Toast.h"
#include "LayoutCheck.h"
#include "ScheduleTestSupport.h"
#include "UserInput.h"

#include <QPointer>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

namespace {

class CalendarViewTest : public ScheduleModelFixture
{
protected:
    void SetUp() override
    {
        ScheduleModelFixture::SetUp();
        backdrop = std::make_unique<ThemedPanel>(&AppTheme::background);
        auto* layout = new QVBoxLayout(backdrop.get());
        layout->setContentsMargins(0, 24, 0, 0);
        layout->addWidget(field = new QLineEdit(backdrop.get()));
        layout->addWidget(body = new CalendarViewBody(*model, *selection, backdrop.get()));
        backdrop->resize(1100, 1450);
        backdrop->show();
        QCoreApplication::processEvents();
    }
    template <typename T = QWidget> T* find(const char* name) const { return backdrop->findChild<T*>(name); }
    QString text(const char* name) const { return find<QLabel>(name)->text(); }
    void click(const char* name) { UserInput::click(find(name)); }
    QListView* list() const { return find<QListView>("orderList"); }
    // Ticks or unticks the listed order `row` at its checkbox.
    void tick(int row)
    {
        const QRect r = list()->visualRect(list()->model()->index(row, 0));
        UserInput::click(list()->viewport(), Qt::LeftButton, r.topLeft() + QPoint(20, 20));
    }
    // Answers the next modal alert with `act` once it is up. Whatever `act`
    // does or fails to do, the alert is closed after it, and a guard closes
    // any menu or alert still up later on: a wrong answer fails the test
    // instead of leaving it waiting in a modal loop.
    void whenAlertOpens(std::function<void(QMessageBox*)> act, int afterMs = 50)
    {
        const auto answered = std::make_shared<bool>(false);
        QTimer::singleShot(afterMs, backdrop.get(), [act, answered] {
            QPointer box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                ADD_FAILURE() << "no alert is up";
                return;
            }
            act(box);
            if (box && box->isVisible())
                box->reject();
            *answered = true;
        });
        QTimer::singleShot(afterMs + 3000, backdrop.get(), [answered] {
            if (*answered)
                return;
            while (QWidget* popup = QApplication::activePopupWidget()) {
                ADD_FAILURE() << "a menu was left open";
                popup->close();
            }
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << "an alert was left open: " << box->informativeText().toStdString();
                box->reject();
            }
        });
    }
    Order add(const QString& name, const QDate& day, OrderStatus status = OrderStatus::pendingShoot)
    {
        Order o = order(name, QDateTime(day, QTime(10, 0)), 1280.6, {PaymentRecord(300, local(2026, 3, 1), "定金")}, status);
        orders->addOrder(o);
        return o;
    }
    // A drag over the grid through `path` (offsets from the press), `stepMs` apart.
    void drag(const QList<QPoint>& path, int stepMs)
    {
        QWidget* grid = body->grid();
        const QPoint start(500, 150);
        QTest::mousePress(grid, Qt::LeftButton, {}, start, 5);
        for (const QPoint& p : path)
            QTest::mouseMove(grid, start + p, stepMs);
        QTest::mouseRelease(grid, Qt::LeftButton, {}, start + path.last(), stepMs);
    }
    void shoot(const QString& name) { ScheduleTestSupport::saveScreenshot(*backdrop, name); }

    std::unique_ptr<ThemedPanel> backdrop;
    QLineEdit* field = nullptr;
    CalendarViewBody* body = nullptr;
};

TEST_F(CalendarViewTest, HeaderStepsTodayAndWeekdays)
{
    const QDate today = QDate::currentDate();
    EXPECT_EQ(text("monthTitle"), model->monthTitle());
    click("nextMonthButton");
    click("nextYearButton");
    QCoreApplication::processEvents();
    const QDate shown = today.addMonths(1).addYears(1);
    EXPECT_EQ(text("monthTitle"), QStringLiteral("%1年 %2月").arg(shown.year()).arg(shown.month()));
    EXPECT_NE(find<PlateButton>("todayButton")->fillColor(), AppTheme::gold());
    click("todayButton");
    QCoreApplication::processEvents();
    EXPECT_EQ(model->currentMonth(), today);
    EXPECT_EQ(find<PlateButton>("todayButton")->fillColor(), AppTheme::gold());

    EXPECT_EQ(text("weekday0"), "一");
    store->set(ScheduleKeys::weekStartsOnMonday, false);
    QCoreApplication::processEvents();
    EXPECT_EQ(text("weekday0"), "日");
    EXPECT_EQ(text("weekday6"), "六");
}

TEST_F(CalendarViewTest, DragsChangeTheMonthAndNeverClick)
{
    QSignalSpy requests(body, &CalendarViewBody::requested);
    EXPECT_TRUE(body->grid()->property("handlesHorizontalDrag").toBool());
    const QDate start = model->currentMonth();
    const struct { QList<QPoint> path; int stepMs; int months; } cases[] = {
        {{{-10, 0}, {-20, 0}, {-30, 0}, {-40, 0}}, 150, 0}, // slow, exactly 40: nothing
        {{{-10, 0}, {-20, 0}, {-30, 0}, {-41, 5}}, 150, 1},
        {{{12, 20}, {25, 40}}, 10, -1}, // a quick flick right wins over a larger vertical move
    };
    for (const auto& c : cases) {
        model->setCurrentMonth(start);
        drag(c.path, c.stepMs);
        EXPECT_EQ(model->currentMonth(), start.addMonths(c.months)) << c.months;
    }
    EXPECT_EQ(requests.count(), 0);
    EXPECT_TRUE(selection->selectedDates().isEmpty());
}

TEST_F(CalendarViewTest, CtrlATakesTheMonthOnlyInBatchModeWithTheCalendarFocused)
{
    field->setText("王女士");
    field->setFocus();
    UserInput::key(field, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(field->selectedText(), "王女士") << "outside batch mode the field gets the key";
    field->deselect();
    click("batchToggle");
    UserInput::click(field);
    UserInput::key(field, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(field->selectedText(), "王女士") << "a focused text field selects its text in batch mode too";
    EXPECT_FALSE(selection->isCurrentMonthAllSelected());
    field->deselect();
    // A click on the calendar gives it the keyboard.
    click("monthTitle");
    ASSERT_EQ(QApplication::focusWidget(), body);
    UserInput::key(body, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(field->selectedText().isEmpty());
    EXPECT_TRUE(selection->isCurrentMonthAllSelected());
    {
        // A sheet over the calendar keeps the key, even on a control that is no text field.
        QDialog sheet(backdrop.get());
        sheet.setWindowModality(Qt::WindowModal);
        auto* button = new QPushButton("好", &sheet);
        sheet.show();
        QApplication::processEvents();
        button->setFocus();
        UserInput::key(button, Qt::Key_A, Qt::ControlModifier);
        EXPECT_TRUE(selection->isCurrentMonthAllSelected()) << "a sheet is open";
    }
    UserInput::key(body, Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(selection->isCurrentMonthAllSelected()) << "the sheet closed: the calendar has the keyboard again";
    UserInput::key(body, Qt::Key_A, Qt::ControlModifier);
    ASSERT_TRUE(selection->isCurrentMonthAllSelected());
    field->setFocus();
    body->hide();
    UserInput::key(field, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(selection->isCurrentMonthAllSelected()) << "no filter while the calendar is hidden";
    EXPECT_EQ(field->selectedText(), "王女士");
}

TEST_F(CalendarViewTest, SyncBannersAndTheirButtons)
{
    bool enabled = false, authorized = false, full = false;
    auto* bar = body->syncStatusBar();
    bar->setSource({[&] { return enabled; }, [&] { return authorized; }, [&] { return full; }});
    QSignalSpy settings(bar, &CalendarSyncStatusBar::openSystemSettingsClicked);
    using S = CalendarSyncStatusBar::State;
    const struct { bool enabled, authorized, full; S state; const char* button; } cases[] = {
        {false, true, true, S::hidden, nullptr},
        {true, false, true, S::synced, nullptr},
        {true, true, false, S::writeOnly, "openSystemSettingsButton"},
        {true, false, false, S::notEnabled, "enableSyncButton"},
    };
    for (const auto& c : cases) {
        enabled = c.enabled, authorized = c.authorized, full = c.full;
        bar->refresh();
        EXPECT_EQ(bar->state(), c.state);
        EXPECT_EQ(bar->isVisible(), c.state != S::hidden);
        for (const char* name : {"openSystemSettingsButton", "enableSyncButton"})
            EXPECT_EQ(find(name)->isVisible(), c.button && QByteArray(c.button) == name) << name;
    }
    // The phone is promised only for a calendar in an online account.
    bool phone = false;
    bar->setSource({[&] { return enabled; }, [&] { return authorized; }, [&] { return full; }, [&] { return phone; }});
    for (bool online : {false, true}) {
        phone = online;
        for (const auto& c : cases) {
            enabled = c.enabled, authorized = c.authorized, full = c.full;
            bar->refresh();
            if (c.state == S::hidden)
                continue;
            const QString message = text("syncStatusMessage");
            EXPECT_EQ(message.contains("手机日历"), online) << message.toStdString();
            if (!online && c.state == S::synced)
                EXPECT_TRUE(message.contains("本机") && message.contains("添加在线日历账户")) << message.toStdString();
        }
    }
    // Writes that wait, or a session without the calendar service, turn the
    // green line into a warning with what waits and why.
    int waiting = 0, restore = 0;
    QString cause, notice, server, service;
    bar->setSource({[] { return true; }, [] { return true; }, [] { return true; }, [] { return true; },
                    [&] { return waiting; }, [&] { return cause; }, [&] { return notice; }, [&] { return server; },
                    [] { return true; }, [&] { return service; }, [&] { return restore; }});
    const struct {
        int waiting;
        const char* cause;
        const char* notice;
        const char* server;
        const char* service;
        int restore;
        S state;
        const char* message;
    } warnings[] = {
        {0, "", "", "", "", 0, S::synced, "日历双向同步已开启，手机日历App登记档期自动同步"},
        {2, "拒绝连接", "", "", "", 0, S::pending, "有 2 个档期尚未同步到日历（拒绝连接），日历恢复后自动重试"},
        {1, "", "服务不可用", "", "", 0, S::pending, "有 1 个档期尚未同步到日历，日历恢复后自动重试"},
        {0, "", "服务不可用", "", "", 0, S::pending, "服务不可用"},
        {3, "拒绝连接", "", "拒绝连接", "", 0, S::pending, "日历服务器无法连接，3 项改动等待同步（拒绝连接），服务器恢复后自动同步"},
        {0, "", "", "拒绝连接", "", 0, S::pending, "日历服务器无法连接（拒绝连接），服务器恢复后自动同步"},
        // The service not answering says so before whatever it said of its server.
        {2, "系统日历服务没有响应", "", "拒绝连接", "系统日历服务没有响应", 0, S::pending,
         "系统日历服务没有响应，2 项改动等待同步，服务恢复响应后自动同步"},
        {0, "", "", "", "系统日历服务没有响应", 0, S::pending, "系统日历服务没有响应，服务恢复响应后自动同步"},
        // A restore being followed, until its last event is in line.
        {5, "", "", "", "", 3, S::pending, "正在按恢复的备份更新日历，3 个事件待对齐"},
        {4, "", "", "拒绝连接", "", 3, S::pending, "日历服务器无法连接，4 项改动等待同步（拒绝连接），服务器恢复后自动同步"},
    };
    for (const auto& w : warnings) {
        waiting = w.waiting, cause = w.cause, notice = w.notice, server = w.server, service = w.service;
        restore = w.restore;
        bar->refresh();
        EXPECT_EQ(bar->state(), w.state);
        EXPECT_EQ(text("syncStatusMessage"), w.message);
    }
    enabled = authorized = true;
    bar->setSource({[&] { return enabled; }, [&] { return authorized; }, [&] { return full; }});
    bar->refresh();
    click("openSystemSettingsButton");
    EXPECT_EQ(settings.count(), 1);
}

TEST_F(CalendarViewTest, RowsEditOutsideBatchModeAndBatchDeleteToasts)
{
    const Order o = add("王女士", model->currentMonth());
    QCoreApplication::processEvents();
    ASSERT_TRUE(list()->isVisible());
    QSignalSpy requests(body, &CalendarViewBody::requested);
    const QRect row = list()->visualRect(list()->model()->index(0, 0));
    UserInput::click(list()->viewport(), Qt::LeftButton, row.center());
    ASSERT_EQ(requests.count(), 1);
    EXPECT_EQ(requests.last().first().value<CalendarRequest>().order->id, o.id);

    click("batchToggle");
    EXPECT_TRUE(selection->selectedOrderIds().contains(o.id));
    UserInput::click(list()->viewport(), Qt::LeftButton, row.center());
    EXPECT_EQ(requests.count(), 1) << "no edit in batch mode";
    tick(0);
    EXPECT_FALSE(selection->selectedOrderIds().contains(o.id)) << "the checkbox unticks";
    tick(0);

    whenAlertOpens([](QMessageBox* box) { UserInput::click(box->buttons().first()); }); // "删除"
    click("batchDeleteButton");
    EXPECT_TRUE(orders->orders().isEmpty());
    EXPECT_FALSE(selection->isBatchMode());
    EXPECT_TRUE(body->toast()->isVisible());
    EXPECT_EQ(body->toast()->message(), "成功删除 1 条订单");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !body->toast()->isVisible(); }, 5000)) << "the toast goes by itself";
}

// With nothing ticked the batch delete draws its text red at 30% on its
// plate, in both themes; a ticked order brings it to full red.
TEST_F(CalendarViewTest, BatchDeleteIsFaintUntilAnOrderIsTicked)
{
    add("王女士", model->currentMonth());
    QCoreApplication::processEvents();
    auto* button = find<PlateButton>("batchDeleteButton");
    for (const AppThemeStyle style : {AppThemeStyle::dark, AppThemeStyle::light}) {
        ThemeObserver::shared().setStyle(style);
        click("batchToggle"); // every listed order ticked
        ScheduleTestSupport::waitForFades(backdrop.get());
        for (const bool ticked : {true, false}) {
            if (!ticked)
                tick(0);
            SCOPED_TRACE(std::string(style == AppThemeStyle::dark ? "dark" : "light") + (ticked ? ", ticked" : ", none"));
            EXPECT_EQ(button->isEnabled(), ticked);
            const auto [plate, ink] = LayoutCheck::plateAndInk(button->grab().toImage());
            const double a = ticked ? 1.0 : 0.3;
            const QColor red = SystemColors::red();
            const QColor expected = QColor::fromRgbF(float(red.redF() * a + plate.redF() * (1 - a)),
                                                     float(red.greenF() * a + plate.greenF() * (1 - a)),
                                                     float(red.blueF() * a + plate.blueF() * (1 - a)));
            EXPECT_LE(std::abs(ink.red() - expected.red()) + std::abs(ink.green() - expected.green())
                          + std::abs(ink.blue() - expected.blue()), 24)
                << ink.name().toStdString() << " for " << expected.name().toStdString();
        }
        click("batchToggle");
    }
}

// A batch delete takes exactly the ticked orders the list shows, whatever
// was ticked before the filter, the day or the month changed.
TEST_F(CalendarViewTest, BatchDeleteTakesOnlyTheTickedOrdersListed)
{
    const QDate month = model->currentMonth(), next = month.addMonths(1);
    const QDate day3(month.year(), month.month(), 3);
    add("张三", day3);
    add("李四", day3, OrderStatus::pendingDeposit);
    add("王五", day3.addDays(7));
    add("孙七", next);
    add("周八", next);
    QMenu* status = find<FilterMenuBox>("statusBox")->menu();
    const struct { const char* name; std::function<void()> pick; QStringList left; } cases[] = {
        {"a filter hides some", [&] { click("batchToggle"); UserInput::chooseMenuItem(status, "待付定金"); },
         {"张三", "王五", "孙七", "周八"}},
        {"one day picked",
         [&] {
             UserInput::chooseMenuItem(status, "全部");
             click("batchToggle");
             UserInput::click(body->grid(), Qt::LeftButton, body->grid()->cellRect(day3).topLeft() + QPoint(6, 6));
         },
         {"王五", "孙七", "周八"}},
        {"another month", [&] { click("batchToggle"); click("nextMonthButton"); tick(0); tick(1); }, {"王五"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype before = orders->orders().size();
        c.pick();
        QString asked;
        whenAlertOpens([&asked](QMessageBox* box) {
            asked = box->informativeText();
            UserInput::click(box->buttons().first()); // "删除"
        });
        click("batchDeleteButton");
        QStringList left;
        for (const Order& o : orders->orders())
            left.append(o.customerName);
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(asked, QString("确定删除选中的 %1 条订单吗？删除后不可恢复").arg(before - left.size()));
    }
}

// Enter or Esc on a delete confirmation keeps the orders: "取消" is the default.
TEST_F(CalendarViewTest, DeleteConfirmationsDefaultToCancel)
{
    const QDate day(model->currentMonth().year(), model->currentMonth().month(), 12);
    add("张三", day);
    add("李四", day);
    QCoreApplication::processEvents();
    const std::function<void()> opens[] = {
        [this] {
            if (!selection->isBatchMode())
                click("batchToggle");
            click("batchDeleteButton");
        },
        [&] {
            QTimer::singleShot(50, [] { UserInput::chooseMenuItem("删除订单"); });
            QTimer::singleShot(150, [] { UserInput::chooseMenuItem("删除全部 2 个订单"); });
            UserInput::click(body->grid(), Qt::RightButton, body->grid()->cellRect(day).topLeft() + QPoint(6, 6));
        },
    };
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        for (const auto& open : opens) {
            SCOPED_TRACE(key == Qt::Key_Return ? "Enter" : "Esc");
            QString defaultText = "(no default button)";
            whenAlertOpens([&defaultText, key](QMessageBox* box) {
                if (box->defaultButton())
                    defaultText = box->defaultButton()->text();
                UserInput::key(box, key);
            }, 400);
            open();
            EXPECT_EQ(defaultText, "取消");
            EXPECT_EQ(orders->orders().size(), 2);
        }
    }
}

// Every entry of a day's menu carries its symbol.
TEST_F(CalendarViewTest, DayMenuEntriesShowTheirSymbols)
{
    const QDate day(model->currentMonth().year(), model->currentMonth().month(), 9);
    add("李四", day);
    add("王五", day);
    orders->toggleRestDay(day.addDays(1));
    const struct { QDate day; QStringList symbols; QStringList deleteMenu; } cases[] = {
        {day.addDays(1), {"xmark"}, {}},
        {day, {"moon.zzz", "list.bullet", "trash"}, {"trash", "trash", "trash"}},
    };
    const auto symbolsOf = [](QMenu* menu) {
        QStringList found;
        for (QAction* a : menu ? menu->actions() : QList<QAction*>()) {
            for (const char* name : {"xmark", "moon.zzz", "list.bullet", "trash"}) {
                const QIcon drawn = Symbols::icon(name, 16, menu->palette().color(QPalette::Text));
                if (a->icon().pixmap(16, 16).toImage() == drawn.pixmap(16, 16).toImage())
                    found.append(name);
            }
        }
        return found;
    };
    for (const auto& c : cases) {
        QStringList symbols, deleteMenu;
        QTimer::singleShot(100, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            symbols = symbolsOf(menu);
            deleteMenu = symbolsOf(menu ? menu->findChild<QMenu*>("deleteMenu") : nullptr);
            if (menu)
                menu->close();
        });
        UserInput::click(body->grid(), Qt::RightButton, body->grid()->cellRect(c.day).topLeft() + QPoint(6, 6));
        EXPECT_EQ(symbols, c.symbols);
        EXPECT_EQ(deleteMenu, c.deleteMenu);
    }
}

TEST_F(CalendarViewTest, Screenshots)
{
    const QDate today = QDate::currentDate();
    const QDate past = today.day() > 2 ? today.addDays(-2) : today.addDays(3);
    const QDate later = today.day() < 25 ? today.addDays(3) : today.addDays(-4);
    store->set(OrderbookKeys::maxOrdersPerDay, 2);
    add("王女士", today);
    add("李先生", past, OrderStatus::completed);
    add("张三", later, OrderStatus::pendingDeposit);
    add("赵四", later, OrderStatus::pendingBalance);
    orders->toggleRestDay(later.addDays(1));
    model->setShootEvents({{"EV1", "拍摄", QDateTime(later.addDays(2), QTime(9, 0)), {}, {}, {}}});
    for (AppThemeStyle style : {AppThemeStyle::dark, AppThemeStyle::light}) {
        ThemeObserver::shared().setStyle(style);
        shoot(style == AppThemeStyle::dark ? "calendar-dark" : "calendar-light");
    }
    selection->toggleBatchMode();
    selection->dayClicked(later, false);
    selection->dayClicked(later.addDays(2), true);
    body->showBatchToast("成功删除 2 条订单");
    EXPECT_TRUE(QTest::qWaitFor([&] { return body->toast()->fader().level() == 1; }, 3000));
    shoot("calendar-batch-light");
    ThemeObserver::shared().setStyle(AppThemeStyle::dark);
    shoot("calendar-batch-dark");
}

}
