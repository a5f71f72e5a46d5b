#include "ScheduleSettingsFixture.h"

#include "schedule/ReminderRulesEditor.h"
#include "schedule/ScheduleSettingsSheet.h"
#include "schedule/SettingsSheetParts.h"
#include "ui/PlateButton.h"
#include "ui/ThemeObserver.h"
#include "ui/ToggleSwitch.h"
#include "FakeProgram.h"
#include "ScheduleTestSupport.h"
#include "UserInput.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolTip>

namespace {

class ScheduleSettingsSheetTest : public ScheduleSettingsFixture
{
protected:
    void SetUp() override
    {
        ScheduleSettingsFixture::SetUp();
        openSheet();
    }
    void TearDown() override
    {
        sheet.reset();
        ScheduleSettingsFixture::TearDown();
    }
    void openSheet()
    {
        sheet = std::make_unique<ScheduleSettingsSheet>(*state);
        sheet->show();
        answers();
    }
    template <typename T = QWidget>
    T* find(const char* name) const
    {
        T* w = sheet->findChild<T*>(name);
        EXPECT_TRUE(w) << name;
        return w;
    }
    void click(const char* name) { UserInput::click(find(name)); }
    // Opens or closes a section and waits until it has grown or shrunk: a
    // click lands only on what is in view.
    void toggleSection(const char* entry)
    {
        sheet->scrollArea()->ensureWidgetVisible(find(entry));
        click(entry);
        ScheduleTestSupport::waitForFades(sheet.get());
    }
    // Clicks the reminder list's add button until it holds `count` rules.
    void addRulesUpTo(ReminderRulesEditor* editor, int count)
    {
        for (int tries = 0; tries < 6 && state->rules().size() < count; ++tries) {
            sheet->scrollArea()->ensureWidgetVisible(editor);
            QTest::qWait(200); // the list has scrolled to its add button
            UserInput::click(editor->addButton());
        }
    }
    // Whether `w` lies inside the visible part of its scroll area.
    static bool inView(QWidget* w, QScrollArea* area)
    {
        const QRect r(w->mapTo(area->viewport(), QPoint(0, 0)), w->size());
        return area->viewport()->rect().contains(r);
    }

    std::unique_ptr<ScheduleSettingsSheet> sheet;
};

TEST_F(ScheduleSettingsSheetTest, SectionsWaitForTheDefaultSync)
{
    state->showCalendarSyncInfo = state->showCustomReminderRules = true;
    for (bool on : {false, true}) {
        store->set(OrderbookKeys::syncCalendarDefault, on);
        for (const char* name : {"syncInfoEntry", "reminderRulesEntry", "notificationCard", "batchSyncButton"}) {
            EXPECT_EQ(find(name)->isEnabled(), on) << name;
            EXPECT_EQ(SettingsSheetParts::opacityOf(find(name)), on ? 1.0 : 0.4) << name;
        }
        EXPECT_EQ(find("syncInfoPanel")->isVisible(), on);
        EXPECT_EQ(find("reminderRulesEditor")->isVisible(), on);
    }
}

TEST_F(ScheduleSettingsSheetTest, SwitchesWriteTheirKeysAndSectionsStayOpen)
{
    click("weekStartSwitch");
    EXPECT_FALSE(store->boolean(ScheduleKeys::weekStartsOnMonday));
    click("calendarSyncSwitch");
    EXPECT_FALSE(store->boolean(CalendarSyncManager::calendarSyncEnabledKey));
    click("dailyLimitUp");
    EXPECT_EQ(find<QLabel>("dailyLimitLabel")->text(), "11 单/天");
    store->set(ScheduleKeys::weekStartsOnMonday, true); // written elsewhere: shown at once
    EXPECT_TRUE(find<ToggleSwitch>("weekStartSwitch")->isChecked());

    click("packageEntry");
    sheet.reset(); // mid-animation
    openSheet();
    EXPECT_TRUE(find("packageListEditor")->isVisible());
    click("packageEntry");
    EXPECT_TRUE(find("packageListEditor")->isVisible()) << "closes with an animation";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !find("packageListEditor")->isVisible(); }, 3000));
}

TEST_F(ScheduleSettingsSheetTest, TheNewPackageRowScrollsIntoView)
{
    store->set(OrderbookKeys::syncCalendarDefault, true);
    toggleSection("packageEntry");
    for (int i = 0; i < 6; ++i)
        packages->addPackage(QString("套系%1").arg(i), 100, 10);
    click("addPackageToggle");
    // The scroll is delayed; a loaded machine may take longer than its delay.
    EXPECT_TRUE(QTest::qWaitFor([&] { return inView(find("newPackageInput"), find<QScrollArea>("packageListScroll")); }, 5000));
}

// The reminder rows stand at their natural height in a list as tall as they
// are, up to 240: never a list of no height, never one row at a time. The add
// button scrolls into view after each row and stops at six.
TEST_F(ScheduleSettingsSheetTest, ReminderRowsShowAtTheirNaturalHeight)
{
    store->set(OrderbookKeys::syncCalendarDefault, true);
    sheet->resize(560, 1400);
    toggleSection("reminderRulesEntry");
    auto* editor = find<ReminderRulesEditor>("reminderRulesEditor");
    QScrollArea* area = editor->scrollArea();
    for (int count : {3, 5, 6}) {
        SCOPED_TRACE(count);
        addRulesUpTo(editor, count);
        QTest::qWait(300); // rows rebuilt
        // The scroll is delayed; a loaded machine may take longer than its delay.
        EXPECT_TRUE(QTest::qWaitFor([&] { return inView(editor->addButton(), area); }, 5000));
        EXPECT_EQ(editor->addButton()->isEnabled(), count < 6);
        QList<QWidget*> rows = editor->findChildren<QWidget*>("reminderRuleRow");
        rows.removeIf([](QWidget* r) { return r->isHidden(); });
        ASSERT_EQ(rows.size(), count);
        QWidget* content = area->widget();
        const int natural = content->hasHeightForWidth() ? content->heightForWidth(area->viewport()->width())
                                                         : content->sizeHint().height();
        EXPECT_EQ(area->height(), std::min(natural, 240));
        EXPECT_GE(area->height(), 3 * rows.first()->height()) << "more than one row in view";
        EXPECT_EQ(editor->parentWidget()->height(), editor->height()) << "the section shows the whole editor";
        for (QWidget* row : rows)
            EXPECT_EQ(row->height(), row->sizeHint().height());
        if (natural <= 240) {
            for (QWidget* row : rows)
                EXPECT_TRUE(inView(row, area));
        }
    }
}

TEST_F(ScheduleSettingsSheetTest, ARefilledPriceFieldWritesNothingBack)
{
    click("packageEntry");
    const Package first = packages->packages().first();
    packages->updatePackage(first.id, 12.5, 300);
    auto* price = find<QLineEdit>("packagePrice");
    EXPECT_EQ(price->text(), "12");
    packages->updatePackage(packages->packages().at(1).id, 1, 1); // a refresh of every row
    EXPECT_EQ(packages->packages().first().price, 12.5);
    price->selectAll();
    QTest::keyClicks(price, "35");
    EXPECT_EQ(packages->packages().first().price, 35);
}

TEST_F(ScheduleSettingsSheetTest, AFieldThatStoresNothingShowsWhy)
{
    toggleSection("packageEntry");
    struct Row { QString typed; double stored; bool invalid; };
    // Each keystroke stores what reads (clearing stores 0): a refused text
    // keeps the last amount that read, and the field shows why.
    const Row rows[] = {{"abc", 0, true}, {"3,999", 3, true}, {"100000000", 1e7, true}, {"", 0, false}, {"350", 350, false}};
    for (const Row& r : rows) {
        auto* price = sheet->findChild<QLineEdit*>("packagePrice");
        ASSERT_TRUE(price);
        UserInput::click(price);
        UserInput::key(price, Qt::Key_A, Qt::ControlModifier);
        UserInput::key(price, Qt::Key_Delete);
        if (!r.typed.isEmpty())
            UserInput::type(price, r.typed);
        price = sheet->findChild<QLineEdit*>("packagePrice");
        EXPECT_EQ(price->property("invalidAmount").toBool(), r.invalid) << r.typed.toStdString();
        EXPECT_EQ(price->toolTip().isEmpty(), !r.invalid);
        EXPECT_EQ(packages->packages().first().price, r.stored) << r.typed.toStdString();
    }
}

TEST_F(ScheduleSettingsSheetTest, ABuiltInTrashSaysWhyItStays)
{
    toggleSection("packageEntry");
    packages->addPackage("外景", 800, 100);
    UserInput::click(sheet->findChild<QWidget*>("deleteModeToggle"));
    answers();
    const QList<QWidget*> trash = sheet->findChildren<QWidget*>("packageDelete");
    ASSERT_EQ(trash.size(), packages->packages().size());
    const qsizetype count = packages->packages().size();
    UserInput::click(trash.first());
    EXPECT_EQ(packages->packages().size(), count);
    EXPECT_EQ(QToolTip::text(), "内置套系不能删除");
}

// The rows of a list shown at this moment, top to bottom.
QList<QWidget*> shownRows(QWidget* root, const char* name)
{
    QList<QWidget*> rows = root->findChildren<QWidget*>(name);
    rows.removeIf([](QWidget* r) { return !r->isVisible(); });
    std::sort(rows.begin(), rows.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
    return rows;
}

// A click on a package's name opens its field where the name was, with the
// cursor in it: neither the list nor the sheet moves, and a name cut off by
// the list's bottom edge comes whole into view.
TEST_F(ScheduleSettingsSheetTest, ARenameStartsWhereTheNameWasClicked)
{
    for (int i = 0; i < 12; ++i)
        packages->addPackage(QString("套系%1").arg(i), 100, 10);
    toggleSection("packageEntry");
    QScrollArea* list = find<QScrollArea>("packageListScroll");
    QScrollBar* listBar = list->verticalScrollBar();
    QScrollBar* sheetBar = sheet->scrollArea()->verticalScrollBar();
    UserInput::wheel(list->viewport(), -1);
    answers();
    ASSERT_GT(listBar->value(), 0);
    ASSERT_LT(listBar->value(), listBar->maximum());
    const int viewHeight = list->viewport()->height();
    for (const bool cutOff : {false, true}) {
        SCOPED_TRACE(cutOff ? "a name cut off by the bottom edge" : "a name in view");
        const QList<QWidget*> rows = shownRows(list, "packageRow");
        if (cutOff) {
            // The list dragged to show the top half of a row further down.
            QWidget* half = rows[rows.size() - 3];
            listBar->setValue(half->y() - viewHeight + half->height() / 2);
            answers();
        }
        // A row cut off shows its name's top only.
        qsizetype index = -1;
        QPoint at;
        for (qsizetype i = 0; i < rows.size() && index < 0; ++i) {
            const int top = rows[i]->mapTo(list->viewport(), QPoint()).y(), bottom = top + rows[i]->height();
            QWidget* name = rows[i]->findChild<QWidget*>("packageName");
            const int nameTop = name ? name->mapTo(list->viewport(), QPoint()).y() : viewHeight;
            if (cutOff ? nameTop + 4 < viewHeight && bottom > viewHeight : top > 0 && bottom < viewHeight && i > 0) {
                index = i;
                at = QPoint(8, cutOff ? (viewHeight - nameTop) / 2 : name->height() / 2);
            }
        }
        ASSERT_GE(index, 0);
        const int rowTop = rows[index]->mapTo(list->viewport(), QPoint()).y();
        const int listAt = listBar->value(), sheetAt = sheetBar->value();
        const Package package = packages->packages().at(index);
        UserInput::click(rows[index]->findChild<QWidget*>("packageName"), Qt::LeftButton, at);
        answers();

        auto* edit = find<QLineEdit>("packageNameEdit");
        ASSERT_TRUE(edit);
        EXPECT_EQ(shownRows(list, "packageRow").indexOf(edit->parentWidget()), index);
        EXPECT_TRUE(edit->hasFocus()) << "the cursor is in the field";
        EXPECT_EQ(sheetBar->value(), sheetAt);
        EXPECT_TRUE(inView(edit->parentWidget(), list));
        if (cutOff) {
            EXPECT_EQ(listBar->value(), listAt + (rowTop + edit->parentWidget()->height() - viewHeight));
        } else {
            EXPECT_EQ(listBar->value(), listAt);
            EXPECT_EQ(edit->parentWidget()->mapTo(list->viewport(), QPoint()).y(), rowTop);
        }
        UserInput::key(edit, Qt::Key_X);
        EXPECT_EQ(state->editingNameText, package.name + "x");
    }
    ScheduleTestSupport::saveScreenshot(*sheet, "schedule-settings-package-rename");
}

// A choice in a rule's menu leaves the rule's row where it was, in the rule
// list and in the sheet, with the focus still on that menu.
TEST_F(ScheduleSettingsSheetTest, EditingARuleLeavesItsRowInPlace)
{
    store->set(OrderbookKeys::syncCalendarDefault, true);
    toggleSection("reminderRulesEntry");
    auto* editor = find<ReminderRulesEditor>("reminderRulesEditor");
    addRulesUpTo(editor, 5);
    QTest::qWait(300); // the list has scrolled to its add button
    QScrollArea* list = editor->scrollArea();
    QScrollBar* sheetBar = sheet->scrollArea()->verticalScrollBar();
    ASSERT_GT(list->verticalScrollBar()->value(), 0) << "the rule list is scrolled";
    ASSERT_GT(sheetBar->value(), 0) << "the sheet is scrolled";
    // The unit last: a rule in hours has no time menus.
    for (const char* menu : {"ruleValue", "ruleHour", "ruleMinute", "ruleUnit"}) {
        SCOPED_TRACE(menu);
        const QList<QWidget*> rows = shownRows(list, "reminderRuleRow");
        ASSERT_EQ(rows.size(), 5);
        const qsizetype index = rows.size() - 1;
        ASSERT_TRUE(inView(rows[index], list));
        const int rowAt = rows[index]->mapTo(sheet.get(), QPoint()).y();
        const int listAt = list->verticalScrollBar()->value(), sheetAt = sheetBar->value();
        auto* box = rows[index]->findChild<QComboBox*>(menu);
        ASSERT_TRUE(box);
        const int choice = box->currentIndex() + 1;
        UserInput::click(box);
        QAbstractItemView* popup = box->view();
        ASSERT_TRUE(QTest::qWaitFor([&] { return popup->isVisible(); }, 2000));
        const QModelIndex item = popup->model()->index(choice, 0);
        popup->scrollTo(item);
        // The items are drawn wider than a narrow menu's popup.
        UserInput::click(popup->viewport(), Qt::LeftButton,
                         QPoint(popup->viewport()->width() / 2, popup->visualRect(item).center().y()));
        answers();

        const QList<QWidget*> after = shownRows(list, "reminderRuleRow");
        ASSERT_EQ(after.size(), 5);
        auto* chosen = after[index]->findChild<QComboBox*>(menu);
        ASSERT_TRUE(chosen);
        EXPECT_EQ(chosen->currentIndex(), choice) << "the choice is stored and shown";
        EXPECT_EQ(after[index]->mapTo(sheet.get(), QPoint()).y(), rowAt);
        EXPECT_EQ(list->verticalScrollBar()->value(), listAt);
        EXPECT_EQ(sheetBar->value(), sheetAt);
        EXPECT_TRUE(chosen->hasFocus());
    }
    EXPECT_EQ(state->rules().last().unit, ReminderUnit::hour);
    ScheduleTestSupport::saveScreenshot(*sheet, "schedule-settings-rule-edited");
}

TEST_F(ScheduleSettingsSheetTest, Screenshots)
{
    for (AppThemeStyle style : {AppThemeStyle::dark, AppThemeStyle::light}) {
        ThemeObserver::shared().setStyle(style);
        const QString theme = style == AppThemeStyle::dark ? "dark" : "light";
        store->set(OrderbookKeys::syncCalendarDefault, false);
        sheet->resize(560, 900);
        answers();
        ScheduleTestSupport::saveScreenshot(*sheet, "schedule-settings-sync-off-" + theme);

        store->set(OrderbookKeys::syncCalendarDefault, true);
        state->showPackageSettings = state->showCalendarSyncInfo = state->showCustomReminderRules = true;
        state->calendarPermissionDenied = state->notificationPermissionDenied = true;
        Q_EMIT state->changed();
        sheet->resize(560, 1900);
        answers();
        ScheduleTestSupport::saveScreenshot(*sheet, "schedule-settings-open-" + theme);
        state->calendarPermissionDenied = state->notificationPermissionDenied = false;
    }
}

}

TEST_F(ScheduleSettingsSheetTest, SyncInfoPromisesThePhoneOnlyForAnOnlineCalendar)
{
    store->set(OrderbookKeys::syncCalendarDefault, true);
    for (bool online : {false, true}) {
        SCOPED_TRACE(online ? "online account" : "this computer");
        InMemoryCalendarStore events;
        events.setSources({{"account", online ? CalendarSourceType::CalDAV : CalendarSourceType::Local,
                            online ? "Nextcloud" : "在此计算机上"}});
        sheet.reset(); // the sheet and its state read the manager that goes now
        state.reset();
        makeManager(events);
        manager->refreshEvents(); // finds the calendar, and so its account
        makeState();
        openSheet();
        QStringList lines;
        for (QLabel* l : sheet->findChildren<QLabel*>("syncInfoLine"))
            lines << l->text();
        ASSERT_EQ(lines.size(), 5);
        EXPECT_EQ(lines[1].contains("同步至手机"), online) << lines[1].toStdString();
        EXPECT_EQ(lines[4].contains("添加在线日历账户"), !online) << lines[4].toStdString();
        sheet.reset();
        state.reset();
        makeManager(*calendar);
    }
}

TEST_F(ScheduleSettingsSheetTest, TheNotificationShortcutOpensTheDesktopsPageOrSaysWhere)
{
    SystemSettingsHook::setHandler({}); // the real road, with the program start recorded
    QStringList started;
    SystemSettingsHook::setLauncher([&](const QStringList& command) { started << command.join(' '); return true; });
    const QString program = installFakeProgram("gnome-control-center");

    store->set(OrderbookKeys::syncCalendarDefault, true);
    state->notificationPermissionDenied = true;
    Q_EMIT state->changed();
    auto* shortcut = find("notificationSettingsShortcut");
    ASSERT_TRUE(shortcut->isVisible());
    sheet->findChild<QScrollArea*>()->ensureWidgetVisible(shortcut);

    const struct { const char* desktop; QStringList started; bool hint; } cases[] = {
        {"GNOME", {program + " notifications"}, false},
        {"XFCE", {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desktop);
        started.clear();
        qputenv("XDG_CURRENT_DESKTOP", c.desktop);
        UserInput::click(shortcut);
        QCoreApplication::processEvents();
        EXPECT_EQ(started, c.started);
        auto* hint = qApp->findChild<QMessageBox*>("settingsPageHint");
        for (QWidget* w : QApplication::topLevelWidgets())
            if (!hint && w->objectName() == "settingsPageHint")
                hint = qobject_cast<QMessageBox*>(w);
        EXPECT_EQ(hint && hint->isVisible(), c.hint);
        if (hint) {
            EXPECT_TRUE(hint->text().contains("通知"));
            hint->close();
        }
    }
    SystemSettingsHook::setLauncher({});
}

// The sheet's questions show their two buttons, and Enter takes the one
// that acts.
TEST_F(ScheduleSettingsSheetTest, QuestionsShowTheirButtonsAndEnterActs)
{
    store->set(OrderbookKeys::syncCalendarDefault, true);
    struct Case {
        const char* name;
        std::function<void()> ask;
        QStringList buttons;
        QString enterTakes;
        std::function<bool()> answered;
    };
    const QList<Case> cases{
        {"batch sync", [&] { UserInput::clickInView(find("batchSyncButton")); }, {"取消", "确认同步"}, "确认同步",
         [&] { return sheet->openMessage() && sheet->openMessage()->objectName() == "batchResultBox"; }},
        {"refused calendar access",
         [&] {
             calendar->setAuthorizationStatus(CalendarAuthorizationStatus::Denied);
             UserInput::clickInView(find("defaultSyncSwitch")); // off
             UserInput::clickInView(find("defaultSyncSwitch")); // on again: refused
             answers();
         },
         {"取消", "前往设置"}, "前往设置", [&] { return pagesOpened.size() == 2; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pagesOpened.clear();
        c.ask();
        ScheduleTestSupport::answerWithEnter(sheet->openMessage(), c.buttons, c.enterTakes);
        EXPECT_TRUE(QTest::qWaitFor(c.answered, 3000));
        if (sheet->openMessage())
            sheet->openMessage()->close();
        answers();
    }
}

namespace {

// A batch the calendar's server has not taken (the service keeps it in its
// offline copy) is told as waiting for the server, never as synced; once the
// server is back the alert counts what went out again.
TEST_F(ScheduleSettingsSheetTest, BatchSyncTellsOrdersWaitingForAServerOutOfReach)
{
    store->set(OrderbookKeys::syncCalendarDefault, true); // the button waits for it
    synced("冯一", 3);
    synced("陈二", 4);
    struct Case {
        const char* name;
        QString serverProblem;
        std::optional<QString> commitFailure;
        QString title;
        QStringList says;
    };
    const Case cases[] = {
        {"server reachable", {}, {}, "批量同步完成", {"成功同步 2 个订单到系统日历"}},
        {"server out of reach", "Connection refused", {}, "日历服务器无法连接",
         {"2 个订单等待同步", "Connection refused", "服务器恢复后自动同步"}},
        {"server back", {}, {}, "批量同步完成", {"成功同步 2 个订单到系统日历"}},
        {"calendar refuses the batch", {}, "磁盘已满", "批量同步未完成",
         {"2 个订单未能写入系统日历", "磁盘已满", "稍后自动重试"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        calendar->setServerProblem(c.serverProblem);
        calendar->setCommitFailure(c.commitFailure);
        sheet->scrollArea()->ensureWidgetVisible(find("batchSyncButton"));
        UserInput::clickInView(find("batchSyncButton"));
        ScheduleTestSupport::answerWithEnter(sheet->openMessage(), {"取消", "确认同步"}, "确认同步");
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return sheet->openMessage() && sheet->openMessage()->objectName() == "batchResultBox"; }, 3000));
        QMessageBox* box = sheet->openMessage();
        EXPECT_EQ(box->text(), c.title);
        for (const QString& part : c.says)
            EXPECT_TRUE(box->informativeText().contains(part)) << box->informativeText().toStdString();
        EXPECT_EQ(box->informativeText().contains("成功"), c.serverProblem.isEmpty() && !c.commitFailure)
            << box->informativeText().toStdString();
        box->close();
        answers();
    }
}

}
