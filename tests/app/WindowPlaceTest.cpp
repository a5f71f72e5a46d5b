// Runs on a laptop's screen (see CMakeLists.txt), 1366 x 768: room for the
// main window, but not for a place kept on a bigger screen.
#include "app/ContentView.h"
#include "app/MainWindow.h"
#include "app/SidebarView.h"
#include "app/VersionBarView.h"
#include "app/VersionLinkButton.h"
#include "UserInput.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace {
QVariantMap place(const QRect& r)
{
    return {{"x", r.x()}, {"y", r.y()}, {"width", r.width()}, {"height", r.height()}};
}
}

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

TEST(WindowPlaceTest, APlaceKeptOnABiggerScreenIsFittedIntoThisOneWithTheSidebarFootInReach)
{
    struct Case {
        const char* name;
        QRect stored;
        bool shrunk; // otherwise only moved
    };
    const Case cases[] = {
        {"taller and wider than the screen", QRect(100, 50, 1600, 1000), true},
        {"too big, hanging off the top left", QRect(-400, -10, 1600, 1000), true},
        {"small enough, hanging off the bottom right", QRect(700, 300, 1000, 700), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UserDefaults::standard().set("mainWindowGeometry", place(c.stored));
        MainWindow w;
        QSignalSpy firstFrame(&w, &MainWindow::firstFrameShown);
        w.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return firstFrame.size() == 1; }, 5000));

        const QRect area = w.screen()->availableGeometry();
        const QRect frame = w.frameGeometry();
        EXPECT_TRUE(area.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width() << "x"
                                          << frame.height();
        const QSize border = frame.size() - w.size();
        EXPECT_EQ(frame.size(), c.shrunk ? area.size() : c.stored.size() + border) << "shrunk just to fit";
        const VersionBarView* foot = w.contentView()->sidebar()->versionBar();
        for (VersionLinkButton* button : {foot->updateButton(), foot->feedbackButton()}) {
            SCOPED_TRACE(button->text().toStdString());
            EXPECT_EQ(UserInput::widgetUnder(button), static_cast<QWidget*>(button));
            EXPECT_TRUE(area.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())));
        }
    }
}
