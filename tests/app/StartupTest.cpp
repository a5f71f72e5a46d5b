#include "TestEnv.h"
#include "app/AppDelegate.h"
#include "app/ContentView.h"
#include "app/MainWindow.h"
#include "online/StatsReporter.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QMenuBar>
#include <QProcess>
#include <QSignalSpy>

TEST(StartupTest, MainWindowOpensWithItsContentAtTheDefaultSize)
{
    MainWindow w;
    w.show();
    EXPECT_EQ(w.contentView()->size(), QSize(1100, 700));
    EXPECT_EQ(w.windowTitle(), "Kelvara");
    EXPECT_EQ(w.contentView()->minimumSize(), QSize(900, 600));
}

TEST(StartupTest, TheApplicationMenuHoldsAboutAndQuit)
{
    MainWindow w;
    const QList<QAction*> menus = w.menuBar()->actions();
    ASSERT_EQ(menus.size(), 1);
    EXPECT_EQ(menus.first()->text(), "Kelvara");
    EXPECT_EQ(w.aboutAction()->text(), "关于 Kelvara");
    EXPECT_EQ(w.quitAction()->text(), "退出");
    EXPECT_EQ(w.quitAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    QSignalSpy about(&w, &MainWindow::aboutRequested);
    w.aboutAction()->trigger();
    EXPECT_EQ(about.size(), 1);
}

TEST(StartupTest, LaunchActionsReportTheLaunchEvent)
{
    QSignalSpy events(&StatsReporter::shared(), &StatsReporter::eventQueued);
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events.at(0).at(0).toString(), "app_launch");
    EXPECT_EQ(events.at(0).at(1).toString(), "");
}

TEST(StartupTest, TheQuitActionRunsTheBackupOnceAndOnlyWhenEnabled)
{
    const QString dir = Paths::dataDir() + "/AutoBackups";
    UserDefaults::standard().set("autoBackupEnabled", false);
    AppDelegate off;
    off.applicationWillTerminate();
    EXPECT_TRUE(QDir(dir).entryList(QDir::Files).isEmpty());

    UserDefaults::standard().set("autoBackupEnabled", true);
    UserDefaults::standard().set("defaultLaunchPage", "档期收入");
    AppDelegate on;
    on.applicationWillTerminate();
    on.applicationWillTerminate();
    const QStringList files = QDir(dir).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files.first().startsWith("auto_backup_"));
    EXPECT_TRUE(files.first().endsWith(".kvbak"));
}

// The real binary: SIGTERM ends it cleanly, and the automatic backup runs
// exactly once although both the signal and aboutToQuit ask for it.
TEST(StartupTest, SigtermQuitsCleanlyAfterOneAutomaticBackup)
{
    UserDefaults::standard().set("autoBackupEnabled", true);
    const QString dir = Paths::dataDir() + "/AutoBackups";
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(TESSARY_BINARY, {});
    ASSERT_TRUE(p.waitForStarted(10000));
    EXPECT_FALSE(p.waitForFinished(1500)) << p.readAll().toStdString();
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    const QString output = QString::fromUtf8(p.readAll());
    EXPECT_EQ(output.count("💾 备份导出成功"), 1) << output.toStdString();
    EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 1);
}
