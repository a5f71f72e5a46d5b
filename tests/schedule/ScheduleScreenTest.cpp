#include "orderbook/CalendarSyncFixture.h"

#include "orderbook/OrderbookKeys.h"
#include "platform/UserDefaults.h"

#include "SaveFaults.h"
#include "ScheduleTestSupport.h"
#include "UsageUploads.h"
#include "platform/NotificationCenter.h"
#include "ui/ThemeObserver.h"
#include "LayoutCheck.h"
#include "schedule/OrderSelectionSheet.h"
#include "schedule/ScheduleIncomeState.h"
#include "schedule/ScheduleIncomeView.h"
#include "schedule/ScheduleOrderFlows.h"
#include "schedule/ScheduleKeys.h"
#include "schedule/ScheduleSwipe.h"
#include "schedule/CalendarSyncStatusBar.h"
#include "schedule/CalendarViewBody.h"
#include "schedule/MonthGridView.h"
#include "schedule/ScheduleCalendarModel.h"
#include "schedule/ScheduleSettingsSheet.h"
#include "ui/Fader.h"
#include "ui/RevealBox.h"
#include "ui/Toast.h"
#include "UserInput.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QFile>
#include <QGraphicsOpacityEffect>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>

namespace {

using ScheduleTestSupport::saveScreenshot;
using ScheduleTestSupport::waitForFades;

class ScheduleScreenTest : public CalendarSyncFixture
{
protected:
    void SetUp() override
    {
        CalendarSyncFixture::SetUp();
        flows = std::make_unique<ScheduleOrderFlows>(*orders, *manager);
    }
    void TearDown() override
    {
        flows.reset();
        CalendarSyncFixture::TearDown();
    }
    Order fresh(const QString& name, const QString& phone, int days, bool syncToCalendar)
    {
        const QDateTime shoot(QDate::currentDate().addDays(days), QTime(10, 0));
        return Order(name, phone, "标准套系", shoot, shoot, ShootTimeSlot::morning, 2000, 0, {}, "", OrderStatus::pendingShoot,
                     syncToCalendar, QString("提前1天"), "", false);
    }
    Order storedCopy(const QUuid& id) const
    {
        for (const Order& o : orders->orders())
            if (o.id == id)
                return o;
        return {};
    }
    // An event `days` from today in the order book's calendar that no order
    // holds; its title names no customer, so no refresh imports it.
    void addFreeEvent(int days)
    {
        manager->refreshEvents(); // makes the order book's calendar
        settle();
        CalendarEvent e;
        e.calendarIdentifier = calendar->calendars().first().identifier;
        e.title = "拍摄";
        e.startDate = QDateTime(QDate::currentDate().addDays(days), QTime(9, 0));
        e.endDate = e.startDate.addSecs(3600);
        ASSERT_TRUE(calendar->saveEvent(e));
        manager->refreshEvents();
        settle();
    }
    // The whole screen, shown at `size` with its first refresh done.
    std::unique_ptr<ScheduleIncomeView> showView(QSize size = {1000, 700})
    {
        auto view = std::make_unique<ScheduleIncomeView>(*orders, *manager, *store);
        view->resize(size);
        view->show();
        settle();
        return view;
    }
    static QDialog* openNewOrderForm(ScheduleIncomeView& view, const QString& customer)
    {
        return ScheduleTestSupport::openNewOrderForm(view, customer);
    }
    std::unique_ptr<ScheduleOrderFlows> flows;
};

TEST_F(ScheduleScreenTest, SearchMatchesNameOrPhoneAndMarksDays)
{
    const Order a = fresh("张三", "13800001111", 1, false);
    const Order b = fresh("Anna", "13912345678", 2, false);
    const Order c = fresh("李四", "", 2, false);
    for (const Order& o : {a, b, c})
        orders->addOrder(o);
    ScheduleIncomeState state(*orders);
    struct Case {
        QString text;
        QList<QUuid> found;
        QList<int> markedDays; // days from today
    };
    const QList<Case> cases{
        {"  张三\n", {a.id}, {1}},       {"1234", {b.id}, {2}},  {"aNN", {b.id}, {2}},
        {"标准", {}, {}},                 {" \t ", {a.id, b.id, c.id}, {}}, {"13", {a.id, b.id}, {1, 2}},
    };
    for (const Case& t : cases) {
        state.setSearchText(t.text);
        QList<QUuid> found;
        for (const Order& o : state.filteredOrders())
            found.append(o.id);
        EXPECT_EQ(found, t.found) << t.text.toStdString();
        for (int day = 0; day < 4; ++day)
            EXPECT_EQ(state.hasMatchingOrders(QDate::currentDate().addDays(day)), t.markedDays.contains(day))
                << t.text.toStdString() << day;
    }
    orders->addOrder(fresh("王13", "", -1, false)); // before every other day
    EXPECT_TRUE(state.hasMatchingOrders(QDate::currentDate().addDays(-1))) << "a changed list is searched again";
    EXPECT_EQ(state.filteredOrders().size(), 3);
}

TEST_F(ScheduleScreenTest, SavingStoresFirstThenMirrorsToTheCalendar)
{
    const Order synced = fresh("张三", "", 5, true);
    ASSERT_TRUE(flows->saveOrder(synced, false));
    const Order stored = storedCopy(synced.id);
    ASSERT_TRUE(stored.calendarEventIdentifier);
    EXPECT_TRUE(calendar->event(*stored.calendarEventIdentifier));

    const Order plain = fresh("李四", "", 5, false);
    const int commits = calendar->commitCount();
    ASSERT_TRUE(flows->saveOrder(plain, false));
    EXPECT_EQ(calendar->commitCount(), commits);
    EXPECT_FALSE(storedCopy(plain.id).calendarEventIdentifier);

    Order off = stored;
    off.syncToCalendar = false;
    ASSERT_TRUE(flows->saveOrder(off, true));
    EXPECT_FALSE(calendar->event(*stored.calendarEventIdentifier)) << "the event goes";
    EXPECT_EQ(storedCopy(off.id).calendarEventIdentifier, stored.calendarEventIdentifier) << "the identifier stays";
    EXPECT_TRUE(pendingIds().filter(OrderCodec::uuidText(off.id)).isEmpty()) << "its reminders go";

    manager->setCalendarSyncEnabled(false);
    const Order switchedOff = fresh("王五", "", 5, true);
    ASSERT_TRUE(flows->saveOrder(switchedOff, false));
    EXPECT_FALSE(storedCopy(switchedOff.id).calendarEventIdentifier);

    // An edit of an order deleted meanwhile is refused and writes no event.
    manager->setCalendarSyncEnabled(true);
    const int before = int(allEvents(*calendar).size());
    EXPECT_FALSE(flows->saveOrder(fresh("赵六", "", 5, true), true));
    EXPECT_EQ(allEvents(*calendar).size(), before);
}

TEST_F(ScheduleScreenTest, ALateEventIdentifierTouchesOnlyTheIdentifier)
{
    for (bool deleteMeanwhile : {false, true}) {
        calendar->setAuthorizationStatus(CalendarAuthorizationStatus::NotDetermined);
        manager->checkPermission(); // the answer of the access request comes later
        const Order o = fresh(deleteMeanwhile ? "删" : "留", "", 5, true);
        ASSERT_TRUE(flows->saveOrder(o, false));
        if (deleteMeanwhile)
            orders->deleteOrder(o);
        else
            orders->addPayment(o, 500, "定金");
        settle();
        if (deleteMeanwhile) {
            EXPECT_TRUE(storedCopy(o.id).id.isNull());
            EXPECT_EQ(allEvents(*calendar).size(), 1) << "the deleted order's new event goes with it";
        } else {
            const Order s = storedCopy(o.id);
            EXPECT_TRUE(s.calendarEventIdentifier);
            EXPECT_EQ(s.payments.size(), 1) << "the payment made meanwhile stays";
        }
    }
}

// A synced order deleted while the sync is off: after a restart and the
// sync switched back on, its event leaves the calendar and the day stays
// empty, whatever refreshes were queued before the removal.
TEST_F(ScheduleScreenTest, ADeletedOrdersEventStaysGoneWhenTheSyncComesBack)
{
    const Order o = fresh("王小明", "", 0, true);
    ASSERT_TRUE(flows->saveOrder(o, false));
    const QString event = *storedCopy(o.id).calendarEventIdentifier;
    manager->setCalendarSyncEnabled(false);
    settle();
    ASSERT_TRUE(orders->deleteOrder(storedCopy(o.id)));
    ASSERT_TRUE(calendar->event(event)) << "kept while the sync is off";
    flows.reset();
    makeManager(*calendar); // quit and start again, the sync still off
    flows = std::make_unique<ScheduleOrderFlows>(*orders, *manager);
    auto view = showView();
    manager->setCalendarSyncEnabled(true);
    settle();
    QTest::qWait(600); // past any write-back of an import
    settle();
    EXPECT_FALSE(calendar->event(event));
    EXPECT_TRUE(orders->orders().isEmpty());
    for (const DayFigures& f : view->calendarView()->grid()->figures()) {
        if (f.date == QDate::currentDate()) {
            EXPECT_EQ(f.itemCount, 0);
            EXPECT_TRUE(f.unimportedEvents.isEmpty());
        }
    }
}

TEST_F(ScheduleScreenTest, ImportingAnEventAddsOneOrderOnce)
{
    manager->refreshEvents(); // makes the order book's calendar
    settle();
    CalendarEvent stored; // saved without a refresh: nothing imports it first
    stored.calendarIdentifier = calendar->calendars().first().identifier;
    stored.title = "张三 - 标准套系";
    stored.startDate = QDateTime(QDate::currentDate().addDays(4), QTime(9, 0));
    stored.endDate = stored.startDate.addSecs(7200);
    stored.notes = QString("张三-无电话-定金800.7");
    ASSERT_TRUE(calendar->saveEvent(stored));
    const ShootEvent event{stored.identifier, stored.title, stored.startDate, stored.endDate, std::nullopt, stored.notes};
    EXPECT_EQ(ScheduleOrderFlows::importMessage(event),
              "检测到以下信息：\n\n姓名：张三\n套系：-\n定金：800元\n联系电话：-\n拍摄地点：-");
    const qsizetype before = orders->orders().size();
    EXPECT_TRUE(flows->importEvent(event));
    EXPECT_EQ(orders->orders().size(), before + 1);
    EXPECT_EQ(orders->orders().last().calendarEventIdentifier, stored.identifier);
    EXPECT_FALSE(flows->importEvent({"EV-1", "李四", stored.startDate, stored.endDate, {}, {}}))
        << "an event the calendar does not hold";
    EXPECT_FALSE(flows->importEvent(event)) << "an event an order holds is not imported twice";
    EXPECT_EQ(orders->orders().size(), before + 1);
}

TEST_F(ScheduleScreenTest, SwipeAndScrollHint)
{
    struct Case {
        int mode;
        double tx, ty, v;
        int expected;
    };
    const QList<Case> cases{
        {0, -40, 0, 0, 0},     {0, -41, 0, 0, 1},    {0, -41, -30, 0, 0},  {0, -21, -100, -201, 1},
        {0, -20, -100, -300, 0}, {0, 60, 0, 0, 0},   {1, -60, 0, 0, 1},    {1, 41, 5, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScheduleSwipe::targetMode(c.mode, c.tx, c.ty, c.v), c.expected) << c.tx << " " << c.ty << " " << c.v;

    ScheduleIncomeState state(*orders);
    state.reportScrollOffset(-300);
    EXPECT_TRUE(state.showScrollHint());
    state.reportScrollOffset(-300.5);
    EXPECT_FALSE(state.showScrollHint());
}

TEST_F(ScheduleScreenTest, ScreenFollowsNotificationsAndItsButtons)
{
    const auto shown = showView();
    ScheduleIncomeView& view = *shown;
    auto post = [](const QString& name, const QVariant& object) { NotificationCenter::defaultCenter().post(name, object); };
    post("ScheduleViewModeChanged", QString("false"));
    EXPECT_EQ(view.state().viewMode(), 0) << "a text is no view mode";
    post("ScheduleViewModeChanged", false);
    EXPECT_EQ(view.state().viewMode(), 1);
    ASSERT_TRUE(view.findChild<QWidget*>("scheduleStatsView"));
    EXPECT_TRUE(view.findChild<QWidget*>("scheduleStatsView")->isVisible());

    post("ScheduleSearchOrder", 42);
    EXPECT_FALSE(view.state().showSearch());
    post("ScheduleSearchOrder", QString("张三"));
    EXPECT_EQ(view.state().viewMode(), 0);
    EXPECT_TRUE(view.state().showSearch());
    waitForFades(&view);
    auto* field = view.findChild<QLineEdit*>("scheduleSearchField");
    EXPECT_EQ(field->text(), "张三");
    EXPECT_TRUE(view.findChild<QWidget*>("scheduleSearchClear")->isVisible());
    UserInput::click(view.findChild<QWidget*>("scheduleSearchClear"));
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_TRUE(field->isVisible()) << "clearing keeps the row open";

    UsageUploads reports;
    for (int i = 0; i < 2; ++i) {
        UserInput::click(view.findChild<QWidget*>("scheduleSettingsButton"));
        auto* sheet = view.findChild<QDialog*>("scheduleSettingsSheet");
        ASSERT_TRUE(sheet);
        sheet->reject();
        settle();
    }
    EXPECT_EQ(reports.take(2), QStringList({"open_settings", "open_settings"}));

    const QDateTime before = QDateTime::currentDateTime();
    UserInput::click(view.findChild<QWidget*>("scheduleNewOrderButton"));
    EXPECT_FALSE(view.state().editingOrder());
    EXPECT_GE(view.state().selectedDate(), before);
    auto* form = view.findChild<QDialog*>("scheduleOrderForm");
    ASSERT_TRUE(form);
    form->reject();
}

TEST_F(ScheduleScreenTest, FirstTimeGuideShowsOnceWhileSyncLacksFullAccess)
{
    struct Case {
        bool enabled;
        CalendarAuthorizationStatus status;
        bool shown;
    };
    const QList<Case> cases{
        {true, CalendarAuthorizationStatus::FullAccess, false},
        {false, CalendarAuthorizationStatus::NotDetermined, false},
        {true, CalendarAuthorizationStatus::WriteOnly, true},
        {true, CalendarAuthorizationStatus::NotDetermined, false}, // already shown once
    };
    for (const Case& c : cases) {
        manager->setCalendarSyncEnabled(c.enabled);
        calendar->setAuthorizationStatus(c.status);
        ScheduleIncomeView view(*orders, *manager, *store);
        view.show();
        QMessageBox* box = view.lastAlert();
        EXPECT_EQ(box != nullptr, c.shown) << int(c.status);
        if (box)
            box->reject();
        settle();
    }
    EXPECT_TRUE(store->boolean(ScheduleKeys::firstTimeGuideShown));
}


// Each alert of the screen shows exactly its own buttons, and Enter answers
// it with the button it names as the default.
TEST_F(ScheduleScreenTest, AlertsShowTheirOwnButtonsAndEnterTakesTheDefault)
{
    const QDate today = QDate::currentDate();
    struct Case {
        QString name;
        std::function<void()> before;                 // with no screen shown
        std::function<void(ScheduleIncomeView&)> open; // on the shown screen
        QStringList buttons;
        QString enterTakes;
        std::function<bool()> answered;
    };
    qsizetype ordersBefore = 0;
    const QList<Case> cases{
        {"event import", [&] { addFreeEvent(0); ordersBefore = orders->orders().size(); },
         [&](ScheduleIncomeView& view) {
             MonthGridView* grid = view.calendarView()->grid();
             const QPoint badge = grid->badgeRect(today).center();
             auto* area = view.findChild<QScrollArea*>("scheduleContentScroll");
             const QPoint inContent = grid->mapTo(area->widget(), badge);
             area->ensureVisible(inContent.x(), inContent.y(), 0, 40);
             UserInput::click(grid, Qt::LeftButton, badge);
         },
         {"取消", "导入"}, "导入", [&] { return orders->orders().size() == ordersBefore + 1; }},
        {"first-time guide",
         [&] {
             store->set(ScheduleKeys::firstTimeGuideShown, false);
             manager->setCalendarSyncEnabled(true);
             calendar->setAuthorizationStatus(CalendarAuthorizationStatus::NotDetermined);
         },
         [](ScheduleIncomeView&) {}, {"知道了，去开启", "稍后再说"}, "知道了，去开启",
         [&] { return calendar->authorizationStatus() == CalendarAuthorizationStatus::FullAccess; }},
        {"refused save", [] {},
         [&](ScheduleIncomeView& view) {
             UserInput::click(view.findChild<QAbstractButton*>("scheduleNewOrderButton"));
             auto* form = view.findChild<QDialog*>("scheduleOrderForm");
             ASSERT_TRUE(form && QTest::qWaitForWindowExposed(form));
             UserInput::type(form->findChild<QWidget*>("customerName"), "王女士");
             SaveFaults::Fail fail(Paths::SaveStep::Write, 0, ENOSPC);
             UserInput::click(form->findChild<QWidget*>("saveButton"));
             settle();
         },
         {"好"}, "好", [] { return true; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        store->set(ScheduleKeys::firstTimeGuideShown, true);
        c.before();
        const auto view = showView({1100, 760});
        c.open(*view);
        ScheduleTestSupport::answerWithEnter(view->lastAlert(), c.buttons, c.enterTakes);
        EXPECT_TRUE(QTest::qWaitFor(c.answered, 2000));
        for (QDialog* d : view->findChildren<QDialog*>())
            d->close();
        settle();
    }
}

TEST_F(ScheduleScreenTest, SelectionCardsOpenTheirOrderAndScreenshots)
{
    struct Case {
        double total;
        QString text;
    };
    for (const Case& c : QList<Case>{{3999.9, "¥3999"}, {0, "¥0"}, {-12.5, "¥-12"}, {qInf(), "¥0"}})
        EXPECT_EQ(OrderSelectionSheet::amountText(c.total), c.text);

    QList<Order> day;
    for (const char* name : {"甲", "乙", "丙"}) {
        day.append(fresh(name, "13800000000", 3, false));
        orders->addOrder(day.last());
    }
    orders->addPayment(day[1], 2000, "全款");
    const auto shown = showView({1100, 760});
    ScheduleIncomeView& view = *shown;
    view.state().openOrderSelection(day);
    auto* sheet = view.findChild<QDialog*>("orderSelectionSheet");
    ASSERT_TRUE(sheet);
    const QList<QAbstractButton*> cards = sheet->findChildren<QAbstractButton*>("orderSelectionCard");
    ASSERT_EQ(cards.size(), 3);
    for (AppThemeStyle style : {AppThemeStyle::light, AppThemeStyle::dark}) {
        ThemeObserver::shared().setStyle(style);
        const QString theme = style == AppThemeStyle::dark ? "dark" : "light";
        view.state().setShowSearch(true);
        view.state().setSearchText("乙");
        waitForFades(&view);
        saveScreenshot(view, "schedule-calendar-search-" + theme);
        view.state().setViewMode(1);
        QTest::qWait(ScheduleIncomeView::kViewSwitchFadeMs + 50);
        saveScreenshot(view, "schedule-stats-" + theme);
        view.state().setViewMode(0);
        QTest::qWait(ScheduleIncomeView::kViewSwitchFadeMs + 50);
    }
    UserInput::click(cards[1]);
    settle();
    ASSERT_TRUE(view.state().editingOrder());
    EXPECT_EQ(view.state().editingOrder()->id, day[1].id);
    EXPECT_TRUE(view.findChild<QDialog*>("scheduleOrderForm"));
}

TEST_F(ScheduleScreenTest, SelectionSheetWaitsForItsDaysCalendarCheck)
{
    addFreeEvent(3);
    const Order onDay2 = fresh("乙", "", 2, false), first = fresh("甲", "", 3, false), second = fresh("丙", "", 3, false);
    orders->addOrder(onDay2);
    orders->addOrder(first);
    const auto shown = showView();
    ScheduleIncomeView& view = *shown;
    auto open = [&](int days, const QList<Order>& list) {
        view.state().setSelectedDate(QDateTime(QDate::currentDate().addDays(days), QTime(12, 0)));
        view.state().openOrderSelection(list);
        return view.findChild<OrderSelectionSheet*>("orderSelectionSheet");
    };
    auto close = [](OrderSelectionSheet* sheet) {
        sheet->reject();
        settle();
    };
    auto cardCount = [](OrderSelectionSheet* sheet) {
        return sheet->findChildren<QAbstractButton*>("orderSelectionCard").size();
    };

    OrderSelectionSheet* sheet = open(2, {onDay2});
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(sheet->findChild<QWidget*>("orderSelectionSyncBar")->isVisible()) << "no free event that day";
    close(sheet);

    sheet = open(3, {first});
    orders->addOrder(second);
    QSignalSpy refilled(&view.state(), &ScheduleIncomeState::ordersForSelectionChanged);
    auto* bar = sheet->findChild<QWidget*>("orderSelectionSyncBar");
    EXPECT_TRUE(bar->isVisible());
    sheet->resize(520, 360);
    for (AppThemeStyle style : {AppThemeStyle::light, AppThemeStyle::dark}) {
        ThemeObserver::shared().setStyle(style);
        saveScreenshot(*sheet, style == AppThemeStyle::dark ? "schedule-selection-dark" : "schedule-selection-light");
    }
    expectCleanLayout(sheet);
    ASSERT_TRUE(refilled.wait(2000));
    settle();
    EXPECT_EQ(cardCount(sheet), 2) << "the day's stored orders, in place";
    EXPECT_FALSE(bar->isVisible());
    close(sheet);

    // Another day's sheet opened within the second keeps its own list.
    close(open(3, {first}));
    sheet = open(2, {onDay2});
    QTest::qWait(1200);
    EXPECT_EQ(refilled.count(), 1);
    EXPECT_EQ(cardCount(sheet), 1);
    EXPECT_EQ(view.state().ordersForSelection().first().id, onDay2.id);
    EXPECT_FALSE(sheet->isSyncing());
    close(sheet);
}

// The settings sheet's open sections, delete mode and half-typed new
// package come back after "完成" and reopening, for as long as the screen lives.
TEST_F(ScheduleScreenTest, SettingsSheetKeepsItsStateWhileTheScreenLives)
{
    const auto shown = showView({1000, 800});
    ScheduleIncomeView& view = *shown;
    const auto open = [&] {
        UserInput::click(view.findChild<QWidget*>("scheduleSettingsButton"));
        auto* sheet = view.findChild<ScheduleSettingsSheet*>("scheduleSettingsSheet");
        EXPECT_TRUE(sheet);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(sheet));
        waitForFades(sheet);
        return sheet;
    };
    ScheduleSettingsSheet* sheet = open();
    UserInput::click(sheet->findChild<QWidget*>("packageEntry"));
    waitForFades(sheet);
    UserInput::click(sheet->findChild<QWidget*>("deleteModeToggle"));
    UserInput::click(sheet->findChild<QWidget*>("addPackageToggle"));
    QTest::qWait(200); // the new row scrolls into view
    UserInput::type(sheet->findChild<QWidget*>("newPackageName"), "Family");
    UserInput::type(sheet->findChild<QWidget*>("newPackageDeposit"), "5");
    const auto text = [&sheet](const char* name) { return sheet->findChild<QLineEdit*>(name)->text(); };
    const QStringList typed = {text("newPackageName"), text("newPackagePrice"), text("newPackageDeposit")};
    UserInput::click(sheet->findChild<QWidget*>("sheetDoneButton"));
    settle();

    sheet = open();
    EXPECT_TRUE(sheet->findChild<QWidget*>("packageListEditor")->isVisible()) << "the section is still open";
    EXPECT_TRUE(sheet->findChild<QWidget*>("newPackageInput")->isVisible());
    EXPECT_EQ(QStringList({text("newPackageName"), text("newPackagePrice"), text("newPackageDeposit")}), typed);
    EXPECT_FALSE(sheet->findChildren<QWidget*>("packageDelete").isEmpty()) << "delete mode is still on";
    UserInput::click(sheet->findChild<QWidget*>("sheetDoneButton"));
    settle();
}

// A click on a free day opens a new order on that day at 00:00, whatever the clock says.
TEST_F(ScheduleScreenTest, ADayCellsNewOrderStartsAtMidnight)
{
    const auto shown = showView({1100, 900});
    ScheduleIncomeView& view = *shown;
    MonthGridView* grid = view.calendarView()->grid();
    const QDate month = QDate::currentDate();
    for (int day : {1, month.daysInMonth()}) {
        const QDate date(month.year(), month.month(), day);
        SCOPED_TRACE(day);
        view.findChild<QScrollArea*>("scheduleContentScroll")->ensureWidgetVisible(grid, 0, 0);
        UserInput::click(grid, Qt::LeftButton, grid->cellRect(date).topLeft() + QPoint(6, 6));
        auto* form = view.findChild<QDialog*>("scheduleOrderForm");
        ASSERT_TRUE(form);
        EXPECT_FALSE(view.state().editingOrder());
        EXPECT_EQ(view.state().selectedDate(), QDateTime(date, QTime(0, 0)));
        form->reject();
        settle();
    }
}

// The search row, the batch buttons and the view switch fade in, and a
// swiped month slides in: animated, not at once.
TEST_F(ScheduleScreenTest, ScreenChangesAreAnimated)
{
    const auto shown = showView({1100, 900});
    ScheduleIncomeView& view = *shown;
    auto* fade = qobject_cast<QGraphicsOpacityEffect*>(view.findChild<QWidget*>("scheduleContent")->graphicsEffect());
    ASSERT_TRUE(fade);
    QSignalSpy fadeSteps(fade, &QGraphicsOpacityEffect::opacityChanged);
    const struct { const char* button; const char* box; } cases[] = {
        {"scheduleSearchButton", "scheduleSearchBox"}, {"batchToggle", "batchDeleteButtonBox"},
        {"scheduleStatsMode", nullptr}, {"scheduleCalendarMode", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        fadeSteps.clear();
        UserInput::click(view.findChild<QWidget*>(c.button));
        auto* box = c.box ? view.findChild<RevealBox*>(c.box) : nullptr;
        EXPECT_TRUE(box ? box->fader().isRunning() : fadeSteps.value(0).value(0).toReal() < 1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return box ? !box->fader().isRunning() && box->isVisible() : !fade->isEnabled(); }, 3000));
    }
    MonthGridView* grid = view.calendarView()->grid();
    const QPoint start = grid->rect().center();
    QTest::mousePress(grid, Qt::LeftButton, {}, start, 5);
    QTest::mouseMove(grid, start - QPoint(60, 0), 10);
    QTest::mouseRelease(grid, Qt::LeftButton, {}, start - QPoint(60, 0), 10);
    EXPECT_TRUE(grid->isSliding());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !grid->isSliding(); }, 3000));
}


QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The disk refuses the new order: the form stays open with what was typed,
// the alert names the cause, and nothing is stored; the next try goes in.
TEST_F(ScheduleScreenTest, ARefusedSaveKeepsTheFormOpenAndSaysWhy)
{
    const auto view = showView({1100, 760});
    QDialog* form = openNewOrderForm(*view, "王女士");
    ASSERT_TRUE(form);
    const QByteArray before = fileBytes(store->filePath());
    {
        SaveFaults::Fail fail(Paths::SaveStep::Write, 0, ENOSPC);
        UserInput::click(form->findChild<QWidget*>("saveButton"));
        settle();
    }
    QMessageBox* alert = view->lastAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), "保存失败：磁盘空间不足");
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(orders->orders().isEmpty());
    EXPECT_EQ(fileBytes(store->filePath()), before);

    alert->accept();
    settle();
    UserInput::click(form->findChild<QWidget*>("saveButton"));
    settle();
    ASSERT_EQ(orders->orders().size(), 1);
    EXPECT_EQ(orders->orders().first().customerName, "王女士");
}

}

// Each past day turns 日历提醒 off with its alert; a later day after any
// number of them turns it back on, and the booking reaches the calendar.
TEST_F(ScheduleScreenTest, ALaterDayAfterPastOnesPutsTheBookingInTheCalendarAgain)
{
    UserDefaults::standard().set(OrderbookKeys::syncCalendarDefault, true);
    const auto view = showView({1100, 760});
    QDialog* form = openNewOrderForm(*view, "王女士");
    ASSERT_TRUE(form);
    auto* sync = form->findChild<QAbstractButton*>("syncSwitch");
    auto* day = form->findChild<QWidget*>("shootDay");
    ASSERT_TRUE(sync->isChecked());
    const QDate today = QDate::currentDate();
    struct Step { QDate day; bool past; };
    for (const Step& s : {Step{today.addDays(-3), true}, Step{today.addDays(-2), true}, Step{today.addDays(4), false}}) {
        SCOPED_TRACE(s.day.toString(Qt::ISODate).toStdString());
        UserInput::click(day, Qt::LeftButton, QPoint(12, day->height() / 2));
        UserInput::key(day, Qt::Key_A, Qt::ControlModifier);
        UserInput::keys(day, s.day.toString("yyyyMMdd"));
        UserInput::key(day, Qt::Key_Return);
        settle();
        QMessageBox* alert = nullptr;
        for (auto* box : form->findChildren<QMessageBox*>("pastDateAlert"))
            alert = box->isVisible() ? box : alert;
        ASSERT_EQ(bool(alert), s.past);
        if (alert)
            UserInput::click(alert->buttons().first());
        EXPECT_EQ(sync->isChecked(), !s.past);
    }
    UserInput::click(form->findChild<QWidget*>("saveButton"));
    settle();
    ASSERT_EQ(orders->orders().size(), 1);
    const Order stored = orders->orders().first();
    EXPECT_EQ(stored.shootDate.date(), today.addDays(4));
    ASSERT_TRUE(stored.calendarEventIdentifier);
    EXPECT_TRUE(calendar->event(*stored.calendarEventIdentifier));
}

// The statistics open at their top and as tall as they are, whatever the
// scroll of the calendar they replace, whether they fit the window or not.
TEST_F(ScheduleScreenTest, TheStatisticsOpenAtTheirTopUnderAScrolledCalendar)
{
    for (const bool taller : {false, true}) {
        SCOPED_TRACE(taller ? "statistics taller than the window" : "statistics that fit");
        const auto shown = showView(taller ? QSize(1100, 420) : QSize(1100, 724));
        ScheduleIncomeView& view = *shown;
        auto* scroll = view.findChild<QScrollArea*>("scheduleContentScroll");
        UserInput::wheel(scroll->viewport(), -20);
        settle();
        ASSERT_GT(scroll->verticalScrollBar()->value(), 0) << "the calendar is taller than the window";

        UserInput::click(view.findChild<QWidget*>("scheduleStatsMode"));
        settle();
        auto* stats = view.findChild<QWidget*>("scheduleStatsView");
        ASSERT_TRUE(stats && stats->isVisible());
        ASSERT_EQ(stats->sizeHint().height() > scroll->viewport()->height(), taller);
        EXPECT_EQ(scroll->verticalScrollBar()->value(), 0);
        EXPECT_EQ(view.findChild<QWidget*>("scheduleContent")->height(),
                  qMax(scroll->viewport()->height(), stats->sizeHint().height()));
    }
}

// The batch toast shows at the bottom of the part of the calendar in view,
// wherever the order list has been scrolled to, and stays there while the
// user scrolls.
TEST_F(ScheduleScreenTest, TheBatchToastShowsWhereTheUserIsLooking)
{
    for (int i = 0; i < 3; ++i)
        orders->addOrder(fresh(QString("客户%1").arg(i), "", 0, false));
    const auto shown = showView({1100, 724});
    ScheduleIncomeView& view = *shown;
    auto* scroll = view.findChild<QScrollArea*>("scheduleContentScroll");
    UserInput::clickInView(view.findChild<QWidget*>("batchToggle"));
    waitForFades(&view);
    QWidget* remove = view.findChild<QWidget*>("batchDeleteButton");
    UserInput::scrollIntoView(remove);
    ASSERT_GT(scroll->verticalScrollBar()->value(), 0) << "the order list lies below the calendar";
    QTimer::singleShot(100, &view, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box) << "no delete confirmation";
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == "删除")
                UserInput::click(b);
        }
        if (box->isVisible())
            box->reject();
    });
    UserInput::click(remove);
    ASSERT_TRUE(orders->orders().isEmpty());
    settle();

    Toast* toast = view.calendarView()->toast();
    ASSERT_TRUE(toast->isVisible());
    EXPECT_EQ(toast->message(), "成功删除 3 条订单");
    const auto gapBelow = [&] {
        return scroll->viewport()->height() - toast->mapTo(scroll->viewport(), QPoint(0, toast->height())).y();
    };
    EXPECT_TRUE(UserInput::wholeInView(toast));
    EXPECT_EQ(gapBelow(), 40);
    // Checked at once: the toast is gone 2 s after it came.
    UserInput::wheel(scroll->viewport(), 20);
    settle();
    ASSERT_EQ(scroll->verticalScrollBar()->value(), 0);
    ASSERT_TRUE(toast->isVisible());
    EXPECT_TRUE(UserInput::wholeInView(toast)) << "it follows the scroll";
    EXPECT_EQ(gapBelow(), 40);
    if (QTest::qWaitFor([&] { return toast->fader().level() == 1; }, 1000))
        saveScreenshot(view, "schedule-batch-toast");
}

// The settings sheet opens whole on the screen over its window: never taller
// than the window or than the screen, its title bar and "完成" in reach.
TEST_F(ScheduleScreenTest, TheSettingsSheetOpensWholeOnTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QSize size : {QSize(1100, 724), QSize(760, 520)}) {
        SCOPED_TRACE(QString("window %1x%2").arg(size.width()).arg(size.height()).toStdString());
        const auto shown = showView(size);
        ScheduleIncomeView& view = *shown;
        view.move(screen.topLeft());
        settle();
        UserInput::click(view.findChild<QWidget*>("scheduleSettingsButton"));
        QPointer<ScheduleSettingsSheet> sheet = view.findChild<ScheduleSettingsSheet*>("scheduleSettingsSheet");
        ASSERT_TRUE(sheet);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
        EXPECT_TRUE(screen.contains(sheet->frameGeometry()))
            << "sheet at " << sheet->frameGeometry().y() << ", " << sheet->frameGeometry().height() << " tall";
        EXPECT_LE(sheet->height(), std::min(view.height(), screen.height()));
        EXPECT_GE(sheet->frameGeometry().top(), view.frameGeometry().top());
        EXPECT_EQ(sheet->width(), 560);
        saveScreenshot(*sheet, QString("schedule-settings-over-%1x%2").arg(size.width()).arg(size.height()));
        UserInput::click(sheet->findChild<QWidget*>("sheetDoneButton"));
        settle();
        EXPECT_TRUE(!sheet || !sheet->isVisible());
    }
}

// The disk takes the order's calendar write as waiting work, then refuses the
// order itself: no change waits for the calendar, neither on the banner nor
// in the stored work a restart takes up, and the next try goes in with its event.
TEST_F(ScheduleScreenTest, AnOrderTheDiskRefusedLeavesNoCalendarWorkWaiting)
{
    // The form reads the app's own preferences.
    UserDefaults::standard().set(OrderbookKeys::syncCalendarDefault, true);
    const auto view = showView({1100, 760});
    const QString green = view->findChild<QLabel*>("syncStatusMessage")->text();
    ASSERT_EQ(view->calendarView()->syncStatusBar()->state(), CalendarSyncStatusBar::State::synced) << green.toStdString();
    QDialog* form = openNewOrderForm(*view, "钟女士");
    ASSERT_TRUE(form);
    {
        // The first file replaced keeps the calendar write waiting, the second is the order's.
        SaveFaults::Fail fail(Paths::SaveStep::Rename, 2, ENOSPC);
        UserInput::click(form->findChild<QWidget*>("saveButton"));
        settle();
        ASSERT_GE(fail.seen(), 2);
    }
    QMessageBox* alert = view->lastAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), "保存失败：磁盘空间不足");
    ASSERT_TRUE(orders->orders().isEmpty());
    EXPECT_EQ(view->findChild<QLabel*>("syncStatusMessage")->text(), green);
    EXPECT_EQ(manager->pendingCalendarWork(), 0);
    EXPECT_FALSE(UserDefaults(store->filePath()).hasStoredValue(OrderbookKeys::pendingCalendarWork))
        << fileBytes(store->filePath()).constData();

    alert->accept();
    settle();
    UserInput::click(form->findChild<QWidget*>("saveButton"));
    settle();
    ASSERT_EQ(orders->orders().size(), 1);
    const Order stored = orders->orders().first();
    EXPECT_EQ(stored.customerName, "钟女士");
    ASSERT_TRUE(stored.calendarEventIdentifier);
    EXPECT_TRUE(calendar->event(*stored.calendarEventIdentifier));
    EXPECT_EQ(manager->pendingCalendarWork(), 0);
    EXPECT_EQ(view->findChild<QLabel*>("syncStatusMessage")->text(), green);
}
