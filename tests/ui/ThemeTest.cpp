#include "platform/UserDefaults.h"
#include "ui/AppTheme.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/ThemeObserver.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

// The shared observer starts fresh in every case: the test main resets it.

TEST(ThemeTest, AbsentKeyStartsDarkAndStoresNothing)
{
    EXPECT_EQ(ThemeObserver::shared().style(), AppThemeStyle::dark);
    EXPECT_TRUE(AppTheme::isDark());
    EXPECT_FALSE(UserDefaults::standard().hasStoredValue("appThemeStyle"));
}

TEST(ThemeTest, UnknownTextReadsAsDark)
{
    UserDefaults::standard().set("appThemeStyle", "Light");
    EXPECT_EQ(ThemeObserver::shared().style(), AppThemeStyle::dark);
    EXPECT_FALSE(AppThemeStyles::fromRawValue("").has_value());
    EXPECT_EQ(AppThemeStyles::fromRawValue("light"), AppThemeStyle::light);
}

TEST(ThemeTest, SettingLightStoresItAndNotifiesEveryWrite)
{
    ThemeObserver& t = ThemeObserver::shared();
    QSignalSpy spy(&t, &ThemeObserver::styleChanged);
    t.setStyle(AppThemeStyle::light);
    t.setStyle(AppThemeStyle::light);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(UserDefaults::standard().string("appThemeStyle"), QString("light"));
    EXPECT_FALSE(AppTheme::isDark());
}

TEST(ThemeTest, TextColoursReadAtFourAndAHalfToOneOnEverySurface)
{
    for (AppThemeStyle style : AppThemeStyles::allCases()) {
        ThemeObserver::shared().setStyle(style);
        const QColor surfaces[] = {AppTheme::background(), AppTheme::cardBackground(), AppTheme::searchBackground(),
                                   AppTheme::sidebarBackground(), AppTheme::topBarBackground()};
        struct Text { const char* name; QColor color; };
        const Text texts[] = {
            {"textPrimary", AppTheme::textPrimary()}, {"textGold", AppTheme::textGold()},
            {"gold", AppTheme::gold()}, {"accentOrange", AppTheme::accentOrange()},
            {"red", SystemColors::red()}, {"orange", SystemColors::orange()}, {"yellow", SystemColors::yellow()},
            {"green", SystemColors::green()}, {"blue", SystemColors::blue()}, {"gray", SystemColors::gray()},
            // Faded text is given the opacity it needs, the light yellow warning too.
            {"textPrimary at 0.3", AppTheme::readableText(AppTheme::withOpacity(AppTheme::textPrimary(), 0.3))},
            {"yellow at 0.7", AppTheme::readableText(AppTheme::withOpacity(SystemColors::yellow(), 0.7))},
        };
        for (const Text& t : texts) {
            for (const QColor& s : surfaces) {
                const double a = t.color.alphaF();
                const QColor seen = QColor::fromRgbF(float(t.color.redF() * a + s.redF() * (1 - a)),
                                                     float(t.color.greenF() * a + s.greenF() * (1 - a)),
                                                     float(t.color.blueF() * a + s.blueF() * (1 - a)));
                EXPECT_GE(AppTheme::contrast(seen, s), 4.5) << t.name << " on " << s.name().toStdString() << " in "
                                                             << AppThemeStyles::rawValue(style).toStdString();
            }
        }
        // White or the page colour on the gold buttons.
        EXPECT_GE(AppTheme::contrast(AppTheme::onGoldText(), AppTheme::gold()), 4.5);
        EXPECT_GE(AppTheme::contrast(AppTheme::background(), AppTheme::gold()), 4.5);
    }
    ThemeObserver::shared().setStyle(AppThemeStyle::dark);
    EXPECT_EQ(SystemColors::yellow(), colorFromHex(0xFFCC00)) << "the dark theme keeps its yellow";
    const QColor opaque = colorFromHex(0x123456);
    EXPECT_EQ(AppTheme::readableText(opaque), opaque) << "an opaque colour is the theme's own choice";
}

TEST(ThemeTest, EveryColourMatchesItsPairInBothStyles)
{
    struct Row { QColor (*get)(); QColor dark; QColor light; };
    const QColor white(Qt::white), black(Qt::black);
    const Row rows[] = {
        {AppTheme::textPrimary, white, colorFromHex(0x2B2B2B)},
        {AppTheme::textGold, colorFromHex(0xE9D38D), colorFromHex(0xAA3F17)},
        {AppTheme::gold, colorFromHex(0xE9D38D), colorFromHex(0xA84B1A)},
        {AppTheme::menuSelectedBackground, colorFromHex(0xE9D38D), colorFromHex(0xA84B1A)},
        {AppTheme::background, colorFromHex(0x121212), colorFromHex(0xF8F5F0)},
        {AppTheme::cardBackground, colorFromHex(0x242424), white},
        {AppTheme::searchBackground, colorFromHex(0x2A2A2A), colorFromHex(0xF0ECE4)},
        {AppTheme::onGoldText, black, white},
        {AppTheme::sidebarBackground, colorFromHex(0x1A1A1A), colorFromHex(0xF0ECE4)},
        {AppTheme::topBarBackground, colorFromHex(0x1E1E1E), colorFromHex(0xFAF8F4)},
        {AppTheme::textGoldDim, colorFromHex(0xB09472), colorFromHex(0x7A5A2E)},
        {AppTheme::dropZoneBorder, colorFromHex(0xE9D38D, 0.6), colorFromHex(0xCD5B2B, 0.5)},
        {AppTheme::pastDateBackground, colorFromHex(0x0D0D0D), colorFromHex(0xEAE5DC)},
        {AppTheme::menuTextNormal, colorFromHex(0xE9D38D), colorFromHex(0x535353)},
    };
    for (AppThemeStyle style : AppThemeStyles::allCases()) {
        ThemeObserver::shared().setStyle(style);
        for (const Row& r : rows)
            EXPECT_EQ(r.get(), style == AppThemeStyle::dark ? r.dark : r.light);
    }
    const QColor c = colorFromHex(0xE9D38D);
    EXPECT_EQ(c.red(), 233);
    EXPECT_EQ(c.green(), 211);
    EXPECT_EQ(c.blue(), 141);
    EXPECT_EQ(c.alpha(), 255);
    EXPECT_NEAR(AppTheme::withOpacity(AppTheme::dropZoneBorder(), 0.5).alphaF(), 0.25, 0.01);
}

TEST(ThemeTest, UnknownSymbolsDrawTheFallback)
{
    EXPECT_TRUE(Symbols::isKnown("gearshape.fill"));
    EXPECT_NE(Symbols::glyph("gearshape.fill"), Symbols::glyph("no.such.symbol"));
    EXPECT_EQ(Symbols::glyph("no.such.symbol"), Symbols::glyph("another.unknown"));
}
