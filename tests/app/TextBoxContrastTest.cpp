#include "app/ContentView.h"
#include "orderbook/OrderManager.h"
#include "orderbook/PackageManager.h"
#include "orders/OrderFormView.h"
#include "orders/PackageSettingsView.h"
#include "orders/StatsView.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "schedule/ScheduleIncomeView.h"
#include "schedule/ScheduleSettingsSheet.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"

#include "LayoutCheck.h"
#include "UserInput.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSet>
#include <QTest>

// Typed text and placeholders of every box a user types into, on every
// screen, in both themes: each reads at 4.5:1 on its box.
namespace {

struct Findings
{
    QSet<QString> faults;
    QSet<QString> checked;

    // Brings each text box of `window` into sight in turn and checks what
    // is in sight then.
    void check(QWidget* window)
    {
        // Sections and sheets fade in; a loaded machine may still be at it.
        QTest::qWait(50);
        UserInput::waitForAnimations(window);
        for (QWidget* w : window->findChildren<QWidget*>()) {
            auto* line = qobject_cast<QLineEdit*>(w);
            auto* plain = qobject_cast<QPlainTextEdit*>(w);
            const bool typedInto = (line && !line->isReadOnly()) || (plain && !plain->isReadOnly());
            if (!typedInto || !w->isVisibleTo(window))
                continue;
            // A scroll area shows a text box's caret line, not the whole box;
            // the box's own frame brings all of it into sight.
            UserInput::scrollIntoView(plain ? w->parentWidget() : w);
            QStringList seen;
            for (const QString& fault : LayoutCheck::textBoxFaults(window, &seen))
                faults.insert(fault);
            for (const QString& name : seen)
                checked.insert(name);
        }
    }
};

}

TEST(TextBoxContrast, TypedTextAndPlaceholdersReadInEveryBoxInBothThemes)
{
    Fonts::installApplicationFont();
    UserDefaults::standard().set("autoCheckUpdate", false);
    UserDefaults::standard().set("scheduleFirstTimeGuideShown", true);
    UserDefaults::standard().set("scheduleSyncCalendarDefault", false);
    Order paid = Order::blank();
    paid.customerName = QStringLiteral("王女士");
    paid.totalAmount = 5000;
    paid.shootDate = paid.shootTime = QDateTime(QDate::currentDate().addDays(3), QTime(10, 0));
    ASSERT_TRUE(OrderManager::shared().addOrder(paid));

    for (const AppThemeStyle style : AppThemeStyles::allCases()) {
        ThemeObserver::shared().setStyle(style);
        SCOPED_TRACE(AppThemeStyles::rawValue(style).toStdString());
        Findings found;

        ContentView content;
        content.resize(1100, 700);
        content.show();
        for (const QString page : {"自动导片", "自动分离", "快速分片", "FTP传输", "档期收入"}) {
            NotificationCenter::defaultCenter().post("NavigateToMenu", page);
            found.check(&content);
        }
        auto* schedule = qobject_cast<ScheduleIncomeView*>(content.currentScreen());
        ASSERT_TRUE(schedule);
        UserInput::clickInView(schedule->findChild<QWidget*>("scheduleSearchButton"));
        found.check(&content);

        // The package card with its new row open and a name being changed.
        schedule->openSettings();
        QWidget* settings = UserInput::shownWindow("scheduleSettingsSheet");
        ASSERT_TRUE(settings);
        settings->resize(560, 900);
        UserInput::clickInView(settings->findChild<QWidget*>("packageEntry"));
        QTest::qWait(50);
        UserInput::waitForAnimations(settings);
        UserInput::clickInView(settings->findChild<QWidget*>("addPackageToggle"));
        // The sheet scrolls the new row into sight a moment later: a click
        // before that lands where the rows were.
        QWidget* newRow = settings->findChild<QWidget*>("newPackageInput");
        ASSERT_TRUE(QTest::qWaitFor([&] { return newRow->isVisible() && UserInput::wholeInView(newRow); }));
        UserInput::clickInView(settings->findChild<QWidget*>("packageName"));
        ASSERT_TRUE(settings->findChild<QWidget*>("packageNameEdit")) << "the click did not open a name";
        found.check(settings);
        settings->close();

        // A new order with its quick places being edited; an order's payment sheet.
        schedule->openOrderForm();
        QWidget* form = UserInput::shownWindow("scheduleOrderForm");
        ASSERT_TRUE(form);
        UserInput::clickInView(form->findChild<QWidget*>("quickLocationEditButton"));
        found.check(form);
        form->close();
        OrderFormView edit(paid, paid.shootDate, [](const Order&) { return true; });
        edit.show();
        UserInput::clickInView(edit.findChild<QWidget*>("registerBalanceButton"));
        QWidget* payment = UserInput::shownWindow("paymentSheet");
        ASSERT_TRUE(payment);
        found.check(payment);
        payment->close();

        PackageSettingsView packages;
        packages.show();
        packages.openEditor(PackageManager::shared().packages().first());
        found.check(packages.editSheet());
        packages.editSheet()->close();
        packages.openAddSheet();
        found.check(packages.addSheet());
        packages.addSheet()->close();

        StatsView stats(OrderManager::shared(), QString());
        stats.show();
        stats.showExportSheet();
        QWidget* exportSheet = UserInput::shownWindow("statsExportSheet");
        ASSERT_TRUE(exportSheet);
        found.check(exportSheet);
        exportSheet->close();

        EXPECT_TRUE(found.faults.isEmpty()) << QStringList(found.faults.values()).join('\n').toStdString();
        for (const char* box : {"globalSearchField", "scheduleSearchField", "newPackageName", "packageNameEdit",
                                "packagePrice", "packageDeposit", "newPackagePrice", "newPackageDeposit", "customerName",
                                "phone", "totalAmount", "depositAmount", "shootLocation", "noteEdit", "quickLocation0",
                                "paymentAmount", "paymentNote", "editPrice", "editDeposit", "keywordEditor",
                                "ftpPortField", "ftpUsernameField"})
            EXPECT_TRUE(found.checked.contains(box)) << box << " was not looked at; looked at: "
                                                     << QStringList(found.checked.values()).join(", ").toStdString();
    }
    ThemeObserver::shared().setStyle(AppThemeStyle::dark);
}
