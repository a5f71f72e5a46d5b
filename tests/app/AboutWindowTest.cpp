#include "app/AboutWindow.h"
#include "app/AppDelegate.h"
#include "app/AppVersion.h"

#include <gtest/gtest.h>

#include <QLabel>

TEST(AboutWindowTest, ShowsNameTaglineAndVersion)
{
    AppDelegate delegate;
    EXPECT_EQ(delegate.aboutWindow(), nullptr);
    delegate.showCustomAboutPanel();
    AboutWindow* w = delegate.aboutWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(w->windowTitle(), "关于 Kelvara");
    EXPECT_EQ(w->size(), QSize(320, 240));
    EXPECT_EQ(w->nameLabel()->text(), "Kelvara");
    EXPECT_EQ(w->taglineLabel()->text(), "摄影师的最佳搭档");
    EXPECT_EQ(w->versionLabel()->text(), "版本 3.5");
    // Frames given from the bottom left land top-down in the window.
    EXPECT_EQ(w->nameLabel()->geometry(), QRect(20, 101, 280, 24));
    EXPECT_EQ(w->taglineLabel()->geometry(), QRect(20, 129, 280, 16));
    EXPECT_EQ(w->versionLabel()->geometry(), QRect(20, 152, 280, 18));
    EXPECT_EQ(w->nameLabel()->textFormat(), Qt::PlainText);
}

TEST(AboutWindowTest, TheSecondTimeShowsTheSameWindowWhereItWasLeft)
{
    AppDelegate delegate;
    delegate.showCustomAboutPanel();
    AboutWindow* first = delegate.aboutWindow();
    first->move(40, 50);
    const QPoint where = first->pos();
    first->close();
    EXPECT_FALSE(first->isVisible());
    delegate.showCustomAboutPanel();
    EXPECT_EQ(delegate.aboutWindow(), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->pos(), where);
}

TEST(AboutWindowTest, VersionFallsBackWhenTheBuildHasNone)
{
    EXPECT_EQ(AppVersion::shortVersion(QString()), "3.5");
    EXPECT_EQ(AppVersion::shortVersion("4.0"), "4.0");
    EXPECT_EQ(AppVersion::currentVersionText(), "V3.5");
}
