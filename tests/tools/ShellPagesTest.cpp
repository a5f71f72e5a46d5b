#include "tools/BatchToolsView.h"
#include "tools/ComingSoonView.h"
#include "tools/DropZoneView.h"
#include "ui/AppTheme.h"
#include "ui/ComingSoonBadge.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include "UserInput.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {
MenuItem entry(const QString& title, const QString& subtitle = {})
{
    return MenuItem::make(title, "trash", false, true, subtitle);
}

QStringList labelTexts(const QWidget& w)
{
    QStringList out;
    for (QLabel* l : w.findChildren<QLabel*>())
        out << l->text();
    return out;
}
}

TEST(PagesComingSoonTest, ShowsTheEntryAndTheNotice)
{
    ComingSoonView page(entry("作品展示", "第一行\n第二行"));
    page.show();
    auto* title = page.findChild<ThemedLabel*>("comingSoonTitle");
    auto* subtitle = page.findChild<ThemedLabel*>("comingSoonSubtitle");
    ASSERT_TRUE(title && subtitle);
    EXPECT_EQ(title->text(), "作品展示");
    EXPECT_EQ(title->currentColor(), AppTheme::accentOrange());
    EXPECT_EQ(subtitle->text(), "第一行\n第二行");
    EXPECT_EQ(subtitle->textFormat(), Qt::PlainText);
    EXPECT_TRUE(labelTexts(page).contains("开发中，敬请期待"));

    ComingSoonView none(std::nullopt);
    EXPECT_EQ(none.findChild<ThemedLabel*>("comingSoonTitle")->text(), "");
    EXPECT_TRUE(labelTexts(none).contains("开发中，敬请期待"));
}

TEST(PagesDropZoneTest, HintBadgeCornerAndNoDrops)
{
    EXPECT_EQ(DropZoneView::hintText(entry("自动删废片")), "自动帮你挑选出闭眼、虚焦、严重过曝等照片");
    EXPECT_EQ(DropZoneView::hintText(entry("照片设计")), "将照片文件夹拖到此处");
    EXPECT_EQ(DropZoneView::hintText(std::nullopt), "将照片文件夹拖到此处");
    DropZoneView page(entry("自动删废片"));
    EXPECT_EQ(page.findChild<QLabel*>("dropZoneHint")->text(), page.hintText());

    page.resize(900, 600);
    page.show();
    EXPECT_EQ(page.badge()->geometry().top(), 28);
    EXPECT_EQ(page.width() - page.badge()->geometry().right() - 1, 32);
    page.resize(1200, 800);
    EXPECT_EQ(page.width() - page.badge()->geometry().right() - 1, 32);
    EXPECT_FALSE(page.acceptDrops());
    EXPECT_EQ(ComingSoonBadge::text(), "敬请期待");
}

TEST(PagesBatchToolsTest, ThreeFixedCardsInOrderColouredByTheTheme)
{
    const auto cards = BatchToolsView::cards();
    ASSERT_EQ(cards.size(), 3);
    EXPECT_EQ(QStringList({cards[0].title, cards[1].title, cards[2].title}),
              QStringList({"批量转档", "批量压缩", "批量水印"}));
    EXPECT_EQ(cards[2].description, "支持批量添加图片水印");

    ThemeObserver::shared().setStyle(AppThemeStyle::dark);
    BatchToolsView page;
    page.resize(900, 600);
    page.show();
    const QList<QWidget*> cardWidgets = page.findChildren<QWidget*>("batchToolCard");
    ASSERT_EQ(cardWidgets.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(cardWidgets[i]->size(), QSize(180, 160));
        if (i > 0) // left to right, 24 apart
            EXPECT_EQ(cardWidgets[i]->x() - cardWidgets[i - 1]->geometry().right() - 1, 24);
    }
    // A click changes nothing.
    UserInput::click(cardWidgets[0]);
    EXPECT_TRUE(labelTexts(page).contains("批量处理照片的实用工具集合"));

    ThemedLabel* title = nullptr;
    for (auto* l : page.findChildren<ThemedLabel*>())
        title = l->text() == "批量小工具" ? l : title;
    ASSERT_TRUE(title);
    EXPECT_EQ(title->palette().color(QPalette::WindowText), colorFromHex(0xE9D38D));
    ThemeObserver::shared().setStyle(AppThemeStyle::light);
    EXPECT_EQ(title->palette().color(QPalette::WindowText), AppTheme::textGold());
}
