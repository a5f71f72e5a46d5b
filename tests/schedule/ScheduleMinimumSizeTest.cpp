#include "app/MainWindow.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "schedule/MonthGridView.h"
#include "schedule/ScheduleIncomeView.h"
#include "schedule/StatusLegendView.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"

#include "LayoutCheck.h"
#include "ScheduleTestSupport.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace {

void settle()
{
    for (int i = 0; i < 4; ++i) {
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QApplication::processEvents();
    }
}

QRect inWindow(const QWidget* w)
{
    return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size());
}

bool withinWidth(const QWidget* w, const QRect& view)
{
    return inWindow(w).left() >= view.left() && inWindow(w).right() <= view.right();
}

}

// The schedule screen at the main window's default and minimum sizes: the
// whole week of the calendar lies inside the scroll area (which only scrolls
// up and down), the colour key keeps clear of the top bar's buttons, and the
// balances panel moves under the order list when the two do not fit beside
// each other.
TEST(ScheduleMinimumSizeTest, ScreenFitsTheWindowAtDefaultAndMinimumSize)
{
    Fonts::installApplicationFont();
    UserDefaults::standard().set("autoCheckUpdate", false);
    for (AppThemeStyle style : AppThemeStyles::allCases()) {
        ThemeObserver::shared().setStyle(style);
        MainWindow w;
        w.show();
        NotificationCenter::defaultCenter().post("NavigateToMenu", QString("档期收入"));
        ScheduleTestSupport::waitForFades(&w);
        const auto* scroll = w.findChild<QScrollArea*>("scheduleContentScroll");
        const auto* grid = w.findChild<MonthGridView*>("monthGrid");
        const auto* legend = w.findChild<StatusLegendView*>("statusLegend");
        const auto* orders = w.findChild<QWidget*>("orderListPanel");
        const auto* balances = w.findChild<QWidget*>("pendingBalancePanel");
        ASSERT_TRUE(scroll && grid && legend && orders && balances);
        for (const bool minimum : {false, true}) {
            SCOPED_TRACE(minimum ? "minimum size" : "default size");
            if (minimum)
                w.resize(w.minimumSize());
            settle();
            const QRect view = inWindow(scroll->viewport());
            EXPECT_LE(scroll->widget()->width(), scroll->viewport()->width());
            EXPECT_TRUE(withinWidth(grid, view) && withinWidth(balances, view)) << "cut off at the right";
            EXPECT_GE(legend->height(), legend->heightForWidth(legend->width()));
            EXPECT_LT(inWindow(legend).right(), inWindow(w.findChild<QWidget*>("scheduleSearchButton")).left());
            EXPECT_EQ(balances->y() > orders->y(), minimum);
            const QString name = QStringLiteral("schedule-%1-%2").arg(minimum ? "min" : "default", AppThemeStyles::rawValue(style));
            ScheduleTestSupport::saveScreenshot(w, name);
            scroll->verticalScrollBar()->setValue(orders->mapTo(scroll->widget(), QPoint(0, 0)).y() - 40);
            ScheduleTestSupport::saveScreenshot(w, name + "-foot");
            scroll->verticalScrollBar()->setValue(0);
        }
        expectCleanLayout(&w);
    }
}

// A top bar narrower than any window allows, as with a wider system font:
// the colour key takes more rows rather than running under the buttons.
TEST(ScheduleMinimumSizeTest, NarrowTopBarWrapsTheLegend)
{
    ScheduleIncomeView page;
    page.resize(520, 600);
    page.show();
    settle();
    const auto* legend = page.findChild<StatusLegendView*>("statusLegend");
    ASSERT_TRUE(legend);
    EXPECT_LT(legend->width(), legend->sizeHint().width());
    EXPECT_GE(legend->height(), legend->heightForWidth(legend->width()));
    EXPECT_LT(legend->geometry().right(), page.findChild<QWidget*>("scheduleSearchButton")->geometry().left());
    ScheduleTestSupport::saveScreenshot(*page.findChild<QWidget*>("scheduleHeader"), "schedule-narrow-bar");
}
