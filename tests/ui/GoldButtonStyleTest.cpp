#include "ui/AppTheme.h"
#include "ui/GoldButtonStyle.h"
#include "ui/ThemeObserver.h"

#include <gtest/gtest.h>

#include <QPushButton>

namespace {
QColor white(qreal a) { return QColor(255, 255, 255, qRound(255 * a)); }
}

TEST(GoldButtonStyleTest, DisabledLooksTheSameInBothThemes)
{
    ThemeObserver::shared().setStyle(AppThemeStyle::dark);
    const auto dark = GoldButtonStyle::face(false, false);
    EXPECT_EQ(dark.outline, white(0.15));
    EXPECT_EQ(dark.fill, white(0.04));
    EXPECT_EQ(dark.text, AppTheme::withOpacity(Qt::white, 0.25));
    ThemeObserver::shared().setStyle(AppThemeStyle::light);
    const auto light = GoldButtonStyle::face(false, false);
    EXPECT_EQ(light.outline, dark.outline);
    EXPECT_EQ(light.fill, dark.fill);
    EXPECT_EQ(light.text, AppTheme::withOpacity(AppTheme::textPrimary(), 0.25));
}

TEST(GoldButtonStyleTest, EnabledFollowsTheThemeAndPressFades)
{
    ThemeObserver::shared().setStyle(AppThemeStyle::dark);
    const auto dark = GoldButtonStyle::face(true, false);
    EXPECT_EQ(dark.text, AppTheme::textGold());
    EXPECT_EQ(dark.outline, AppTheme::withOpacity(AppTheme::textGold(), 0.7));
    EXPECT_EQ(dark.fill, AppTheme::withOpacity(AppTheme::textGold(), 0.12));
    EXPECT_DOUBLE_EQ(dark.opacity, 1.0);

    ThemeObserver::shared().setStyle(AppThemeStyle::light);
    const auto light = GoldButtonStyle::face(true, false);
    EXPECT_EQ(light.text, QColor(Qt::white));
    EXPECT_EQ(light.outline.alpha(), 0);
    EXPECT_EQ(light.fill, AppTheme::menuSelectedBackground());
    // The style never blocks a press: a disabled look still fades.
    EXPECT_DOUBLE_EQ(GoldButtonStyle::face(false, true).opacity, 0.6);
    EXPECT_DOUBLE_EQ(GoldButtonStyle::face(true, true).opacity, 0.6);
}

TEST(GoldButtonStyleTest, AppliedButtonIsSizedByItsLabel)
{
    QPushButton b("选择保存位置");
    GoldButtonStyle* style = GoldButtonStyle::apply(&b, false);
    EXPECT_FALSE(style->isEnabledLook());
    EXPECT_TRUE(b.isEnabled());
    const QFontMetrics fm(b.font());
    EXPECT_EQ(b.sizeHint(), QSize(fm.horizontalAdvance("选择保存位置") + 28, fm.height() + 14));
    EXPECT_EQ(b.font().pixelSize(), 13);
    b.show();
    EXPECT_FALSE(b.grab().isNull());
}
