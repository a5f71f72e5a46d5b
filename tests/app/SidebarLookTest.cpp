#include "app/MenuItemView.h"
#include "app/VersionLinkButton.h"
#include "settings/AppIconManager.h"

#include <gtest/gtest.h>

TEST(SidebarLookTest, ASubtitleWithALineBreakShowsOnTwoLines)
{
    MenuItemView broken(MenuItem::make("档期收入", "calendar", false, false, "甲\n乙"));
    MenuItemView single(MenuItem::make("档期收入", "calendar", false, false, "甲乙"));
    broken.setSelected(true);
    single.setSelected(true);
    EXPECT_GT(broken.heightForWidth(196), single.heightForWidth(196));
    broken.resize(196, broken.heightForWidth(196));
    EXPECT_FALSE(broken.grab().isNull());
}

TEST(SidebarLookTest, TheRedDotOverhangsTheCaptionsCornerByFourAndOne)
{
    VersionLinkButton b("检查更新");
    b.setShowDot(true);
    b.resize(b.sizeHint());
    const QRectF face = b.faceRect();
    const QRectF dot = b.dotRect();
    EXPECT_EQ(dot.size(), QSizeF(7, 7));
    EXPECT_DOUBLE_EQ(dot.right(), face.right() + 4);
    EXPECT_DOUBLE_EQ(dot.top(), face.top() - 1);
    // The widget keeps room for the whole dot.
    EXPECT_TRUE(QRectF(b.rect()).contains(dot)) << b.width() << "x" << b.height();
}

TEST(SidebarLookTest, EveryIconStyleDrawsAVisibleIcon)
{
    for (AppIconStyle style : AppIconStyles::allCases()) {
        const QImage image = AppIconManager::makeImage(style, 100);
        ASSERT_EQ(image.size(), QSize(100, 100));
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << int(style); // rounded corner
        EXPECT_EQ(image.pixelColor(50, 8).alpha(), 255) << int(style);
    }
    // The drawn gold fallback runs from its top colour to its bottom colour.
    const QImage gold = AppIconManager::makeImage(AppIconStyle::cameraGold, 100);
    const QColor top = gold.pixelColor(50, 1), bottom = gold.pixelColor(50, 98);
    EXPECT_NEAR(top.red(), 245, 3);
    EXPECT_NEAR(top.green(), 204, 3);
    EXPECT_NEAR(bottom.green(), 163, 3);
    // The camera outline is drawn in white across the body's top edge.
    EXPECT_GT(gold.pixelColor(50, 26).blue(), 200);
}
