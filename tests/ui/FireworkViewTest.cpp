#include "ui/BlinkingCursor.h"
#include "ui/FireworkView.h"
#include "ui/SystemColors.h"

#include <gtest/gtest.h>

#include <QTest>

#include <cmath>

TEST(FireworkViewTest, StartsUnburstWithSixteenDotsAtTheCentre)
{
    FireworkView f;
    EXPECT_EQ(f.size(), QSize(70, 70));
    EXPECT_FALSE(f.burst());
    EXPECT_EQ(f.particleCount(), 16);
    ASSERT_EQ(f.colors().size(), 7);
    EXPECT_EQ(f.colors().at(4), SystemColors::yellow());
    EXPECT_EQ(f.colors().at(5), SystemColors::orange());
    EXPECT_EQ(f.colors().at(6), QColor(Qt::white));
    for (int i = 0; i < 16; ++i) {
        const auto p = f.particle(i, 0.0);
        EXPECT_EQ(p.offset, QPointF(0, 0));
        EXPECT_DOUBLE_EQ(p.diameter, 5.0);
        EXPECT_DOUBLE_EQ(p.opacity, 1.0);
    }
    EXPECT_DOUBLE_EQ(FireworkView::checkScale(0.0), 0.0);
}

TEST(FireworkViewTest, ColoursRepeatEverySevenDots)
{
    FireworkView f;
    for (int i : {0, 7, 14})
        EXPECT_EQ(f.particle(i, 1.0).color, f.colors().at(0)) << i;
    EXPECT_EQ(f.particle(15, 1.0).color, f.colors().at(1));
    EXPECT_EQ(f.particle(13, 1.0).color, f.colors().at(6));
}

TEST(FireworkViewTest, BurstPutsTheDotsOnARingThatFitsTheFrame)
{
    FireworkView f;
    f.setParticleCount(4);
    const QPointF expected[] = {{28, 0}, {0, 28}, {-28, 0}, {0, -28}}; // right, below, left, above
    for (int i = 0; i < 4; ++i) {
        const auto p = f.particle(i, 1.0);
        EXPECT_NEAR(p.offset.x(), expected[i].x(), 1e-9) << i;
        EXPECT_NEAR(p.offset.y(), expected[i].y(), 1e-9) << i;
        EXPECT_DOUBLE_EQ(p.diameter, 3.0);
        EXPECT_DOUBLE_EQ(p.opacity, 0.8);
    }
    const qreal outer = std::hypot(f.particle(0, 1.0).offset.x(), f.particle(0, 1.0).offset.y())
        + f.particle(0, 1.0).diameter / 2;
    EXPECT_DOUBLE_EQ(outer, 29.5);
    EXPECT_LE(outer, 35.0);
    f.setParticleCount(0);
    f.show();
    f.grab(); // paints with no dots
}

TEST(FireworkViewTest, PlaysOnceWhenFirstShown)
{
    FireworkView f;
    f.show();
    EXPECT_TRUE(f.burst());
    QTest::qWait(FireworkView::kDurationMs + 150);
    EXPECT_DOUBLE_EQ(f.progress(), 1.0);
    f.hide();
    f.show();
    EXPECT_DOUBLE_EQ(f.progress(), 1.0);
}

TEST(FireworkViewTest, BlinkingCursorFadesWhileShownOnly)
{
    BlinkingCursor c;
    EXPECT_DOUBLE_EQ(c.barOpacity(), 1.0);
    EXPECT_FALSE(c.isBlinking());
    c.show();
    EXPECT_TRUE(c.isBlinking());
    QTest::qWait(BlinkingCursor::kHalfPeriodMs / 2);
    EXPECT_LT(c.barOpacity(), 1.0);
    c.hide();
    EXPECT_FALSE(c.isBlinking());
    EXPECT_DOUBLE_EQ(c.barOpacity(), 1.0);
    EXPECT_EQ(c.sizeHint(), QSize(2, 18));
}
