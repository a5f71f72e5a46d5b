#include "tools/BatchToolsView.h"
#include "tools/ComingSoonView.h"
#include "tools/DropZoneView.h"
#include "ui/AppTheme.h"
#include "ui/ComingSoonBadge.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include "UserInput.h"

#include <gtest/gtest.h>

namespace {
MenuItem entry(const QString& title, const QString& subtitle = {})
{
    return MenuItem::make(title, "trash", false, true, subtitle);
}
}

// A menu entry's subtitle is shown as typed, never read as markup.
TEST(PagesComingSoonTest, ShowsTheEntryAsPlainText)
{
    ComingSoonView page(entry("作品展示", "<b>第一行</b>\n第二行"));
    page.show();
    auto* subtitle = page.findChild<ThemedLabel*>("comingSoonSubtitle");
    ASSERT_TRUE(subtitle);
    EXPECT_EQ(subtitle->text(), "<b>第一行</b>\n第二行");
    EXPECT_EQ(subtitle->textFormat(), Qt::PlainText);
    ComingSoonView none(std::nullopt);
    EXPECT_EQ(none.findChild<ThemedLabel*>("comingSoonTitle")->text(), "");
}

TEST(PagesDropZoneTest, TheBadgeKeepsItsCornerAndNothingIsDropped)
{
    DropZoneView page(entry("自动删废片"));
    page.resize(900, 600);
    page.show();
    for (const QSize size : {QSize(900, 600), QSize(1200, 800)}) {
        page.resize(size);
        EXPECT_EQ(page.badge()->geometry().top(), 28);
        EXPECT_EQ(page.width() - page.badge()->geometry().right() - 1, 32);
    }
    EXPECT_FALSE(page.acceptDrops());
}

TEST(PagesBatchToolsTest, CardsSitInARowAndTheTitleFollowsTheTheme)
{
    ThemeObserver::shared().setStyle(AppThemeStyle::dark);
    BatchToolsView page;
    page.resize(900, 600);
    page.show();
    const QList<QWidget*> cards = page.findChildren<QWidget*>("batchToolCard");
    ASSERT_EQ(cards.size(), 3);
    for (int i = 1; i < 3; ++i) // left to right, 24 apart
        EXPECT_EQ(cards[i]->x() - cards[i - 1]->geometry().right() - 1, 24);
    UserInput::click(cards[0]); // a card does nothing yet, and must not crash

    ThemedLabel* title = nullptr;
    for (auto* l : page.findChildren<ThemedLabel*>())
        title = l->text() == "批量小工具" ? l : title;
    ASSERT_TRUE(title);
    const QColor dark = title->palette().color(QPalette::WindowText);
    ThemeObserver::shared().setStyle(AppThemeStyle::light);
    EXPECT_NE(title->palette().color(QPalette::WindowText), dark);
    EXPECT_EQ(title->palette().color(QPalette::WindowText), AppTheme::textGold());
}
