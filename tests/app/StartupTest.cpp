#include "TestEnv.h"
#include "app/MainWindow.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTimer>

TEST(StartupTest, MainWindowOpensAtItsSize)
{
    MainWindow w;
    w.show();
    EXPECT_EQ(w.size(), QSize(1100, 700));
    EXPECT_EQ(w.windowTitle(), "Kelvara");
}

TEST(StartupTest, TheAppStartsOffscreenAndQuitsCleanlyOnSigterm)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(TESSARY_BINARY, {});
    ASSERT_TRUE(p.waitForStarted(10000));
    EXPECT_FALSE(p.waitForFinished(1500)) << p.readAll().toStdString();
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}
