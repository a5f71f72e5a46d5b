// Runs on a laptop's screen (see CMakeLists.txt), 1366 x 768: room for the
// main window and a place kept on it.
#include "app/MainWindow.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

TEST(StartupTest, WindowPlaceAndSizeComeBackUnlessOffScreen)
{
    MainWindow fresh;
    const QSize defaultSize = fresh.size();
    {
        MainWindow w;
        w.show();
        w.resize(960, 720);
        w.move(30, 40);
        ASSERT_TRUE(w.close());
    }
    MainWindow again;
    EXPECT_EQ(again.size(), QSize(960, 720));
    EXPECT_EQ(again.pos(), QPoint(30, 40));

    // Off every screen, or nonsense: the default.
    for (const QVariantMap& stored : {QVariantMap{{"x", 5000}, {"y", 40}, {"width", 960}, {"height", 720}},
                                      QVariantMap{{"x", 30}, {"y", -2000}, {"width", 960}, {"height", 720}},
                                      QVariantMap{{"x", 30}, {"y", 40}, {"width", -1}, {"height", 720}}}) {
        UserDefaults::standard().set("mainWindowGeometry", stored);
        MainWindow w;
        EXPECT_EQ(w.size(), defaultSize) << stored.value("x").toInt();
        EXPECT_NE(w.pos(), QPoint(30, 40));
    }
}
