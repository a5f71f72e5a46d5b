#include "app/AboutWindow.h"
#include "app/AppDelegate.h"
#include "platform/AppVersion.h"
#include "app/ContentView.h"
#include "app/LaunchStyle.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "app/TessaryApp.h"
#include "ChildProcess.h"
#include "NotificationTestBus.h"
#include "StrayProcesses.h"
#include "UsageUploads.h"
#include "UserInput.h"
#include "platform/Paths.h"
#include "platform/ReminderAgent.h"
#include "platform/UserDefaults.h"
#include "tools/AutoImportController.h"
#include "tools/SafeFileTransfer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QSemaphore>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTest>
#include <QTimer>

#include <optional>
#include <sys/wait.h>
#include <QToolButton>
#include <QWindow>

#include <csignal>

TEST(StartupTest, MainWindowOpensAtTheDefaultSizeWithQuitInFileAndAboutInHelp)
{
    MainWindow w;
    w.show();
    EXPECT_EQ(w.contentView()->size(), QSize(1100, 700));
    EXPECT_EQ(w.contentView()->minimumSize(), QSize(900, 600));
    EXPECT_EQ(w.windowTitle(), "Kelvara");
    QStringList menus;
    for (QAction* menu : w.menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus, QStringList({"文件", "帮助"}));
    EXPECT_EQ(w.menuBar()->actions().at(0)->menu()->actions(), QList<QAction*>{w.quitAction()});
    EXPECT_EQ(w.menuBar()->actions().at(1)->menu()->actions(), QList<QAction*>{w.aboutAction()});
    EXPECT_EQ(w.aboutAction()->text(), "关于 Kelvara");
    EXPECT_EQ(w.quitAction()->text(), "退出");
    EXPECT_EQ(w.quitAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    QSignalSpy about(&w, &MainWindow::aboutRequested);
    QMenuBar* bar = w.menuBar();
    UserInput::click(bar, Qt::LeftButton, bar->actionGeometry(bar->actions().at(1)).center());
    UserInput::chooseMenuItem("关于 Kelvara");
    EXPECT_EQ(about.size(), 1);
}

TEST(StartupTest, AboutShowsNameTaglineAndVersionAndReopensWhereItWasLeft)
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
    // The group sits 30 below the title bar and 30 above the foot.
    EXPECT_EQ(w->iconLabel()->geometry(), QRect(110, 30, 100, 100));
    EXPECT_EQ(w->nameLabel()->geometry(), QRect(20, 141, 280, 24));
    EXPECT_EQ(w->taglineLabel()->geometry(), QRect(20, 169, 280, 16));
    EXPECT_EQ(w->versionLabel()->geometry(), QRect(20, 192, 280, 18));
    EXPECT_EQ(w->nameLabel()->textFormat(), Qt::PlainText);

    w->move(40, 50);
    const QPoint where = w->pos();
    w->close();
    EXPECT_FALSE(w->isVisible());
    delegate.showCustomAboutPanel();
    EXPECT_EQ(delegate.aboutWindow(), w);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->pos(), where);

    // The version falls back when the build has none.
    EXPECT_EQ(AppVersion::shortVersion(QString()), "3.5");
    EXPECT_EQ(AppVersion::shortVersion("4.0"), "4.0");
    EXPECT_EQ(AppVersion::currentVersionText(), "V3.5");
}

TEST(StartupTest, LaunchReportsTheLaunchEventAndQuitRunsTheBackupOnce)
{
    UsageUploads events;
    UserDefaults::standard().set("autoBackupEnabled", true);
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(events.take(1), QStringList{"app_launch"});

    delegate.applicationWillTerminate();
    delegate.applicationWillTerminate();
    const QStringList files = QDir(Paths::dataDir() + "/AutoBackups").entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files.first().startsWith("auto_backup_") && files.first().endsWith(".kvbak"));
}

namespace {
// The files mapped into this process whose path has one of `names` in it.
QSet<QString> mappedLibraries(const QStringList& names)
{
    QFile maps("/proc/self/maps");
    if (!maps.open(QIODevice::ReadOnly))
        return {"(no maps)"};
    QSet<QString> found;
    for (const QString& line : QString::fromLocal8Bit(maps.readAll()).split('\n')) {
        const QString path = line.section(' ', 5).trimmed();
        for (const QString& name : names) {
            if (path.contains(name))
                found << path;
        }
    }
    return found;
}

// Threads of this process that Qt's pools started.
int pooledThreads()
{
    int count = 0;
    for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + task + "/comm");
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith("Thread (pooled)"))
            ++count;
    }
    return count;
}

// Whether a paint event reached the window or a widget in it.
struct PaintSeen : QObject
{
    explicit PaintSeen(QWidget* window)
        : window(window)
    {
        qApp->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget*>(watched)->window() == window)
            seen = true;
        return false;
    }
    QWidget* window;
    bool seen = false;
};
}

// The launch work waits until the window has painted its first frame, then
// all of it runs: usage event, window icon, the reminder agent's autostart
// entry and the agent itself, and the update hint's first write.
TEST(StartupTest, LaunchWorkRunsAfterTheFirstFrame)
{
    UsageUploads events;
    NotificationTestBus bus;
    QTemporaryDir dir;
    const QString agent = dir.path() + "/agent", started = dir.path() + "/started";
    QFile script(agent);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    // Says its pid, so the test sees the detached start end.
    script.write("#!/bin/sh\necho $$ > '" + started.toUtf8() + ".part' && mv '" + started.toUtf8() + ".part' '"
                 + started.toUtf8() + "'\n");
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ReminderAgent::setExecutablePath(agent);
    UserDefaults::standard().set("scheduleLocalNotificationEnabled", true);
    QGuiApplication::setWindowIcon(QIcon());

    QApplication::setStyle(new LaunchStyle);
    TessaryApp app;
    PaintSeen painted(&app.window());
    auto* overflow = app.window().menuBar()->findChild<QToolButton*>("qt_menubar_ext_button");
    ASSERT_NE(overflow, nullptr);
    bool exposed = false, paintedFirst = false, iconEarly = true, autostartEarly = true, hintEarly = true;
    bool overflowIconEarly = true;
    // Only what this launch maps counts: earlier work in the same process may
    // have loaded any of them already.
    const QStringList late = {"/imageformats/", "libcanberra", "libQt6Svg", "libecal", "libpocketsphinx"};
    const QSet<QString> loadedBefore = mappedLibraries(late);
    QStringList loadedEarly;
    const int poolSize = QThreadPool::globalInstance()->maxThreadCount(), poolThreadsBefore = pooledThreads();
    int poolThreadsAtFrame = -1;
    QObject::connect(&app.window(), &MainWindow::firstFrameShown, [&] {
        exposed = app.window().windowHandle()->isExposed();
        paintedFirst = painted.seen;
        overflowIconEarly = !overflow->icon().isNull();
        loadedEarly = (mappedLibraries(late) - loadedBefore).values();
        poolThreadsAtFrame = pooledThreads();
        iconEarly = !QGuiApplication::windowIcon().isNull();
        autostartEarly = QFileInfo::exists(ReminderAgent::autostartPath());
        hintEarly = UserDefaults::standard().hasStoredValue("seenUpdateHint");
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    });
    EXPECT_EQ(app.run(), 0);
    EXPECT_TRUE(exposed);
    EXPECT_TRUE(paintedFirst);
    EXPECT_FALSE(iconEarly);
    EXPECT_FALSE(autostartEarly);
    EXPECT_FALSE(hintEarly);
    EXPECT_TRUE(QTest::qWaitFor([] { return UserDefaults::standard().hasStoredValue("seenUpdateHint"); }, 5000));
    EXPECT_EQ(loadedEarly, QStringList{}) << "libraries the first frame does not need";
    EXPECT_FALSE(overflowIconEarly);
    // The frame's fills took one helper thread, not one per core, and the
    // pool has its full size again for the work that follows.
    EXPECT_LE(poolThreadsAtFrame, std::max(poolThreadsBefore, 1));
    EXPECT_EQ(QThreadPool::globalInstance()->maxThreadCount(), poolSize);
    EXPECT_FALSE(overflow->icon().isNull());
    EXPECT_FALSE(QGuiApplication::windowIcon().isNull());
    EXPECT_TRUE(QFileInfo::exists(ReminderAgent::autostartPath()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(started); }, 10000));
    QFile pidFile(started);
    const pid_t agentPid = pidFile.open(QIODevice::ReadOnly) ? pidFile.readAll().trimmed().toInt() : 0;
    ASSERT_GT(agentPid, 0);
    const std::optional<int> status = StrayProcesses::awaitChild(agentPid, 5000);
    ASSERT_TRUE(status) << "the stand-in agent did not end";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status;
    EXPECT_EQ(events.take(1), QStringList{"app_launch"});
    ReminderAgent::setExecutablePath({});
}

// The real binary: SIGTERM ends it cleanly, and the automatic backup runs
// exactly once although both the signal and aboutToQuit ask for it.
TEST(StartupTest, SigtermQuitsCleanlyAfterOneAutomaticBackup)
{
    UserDefaults::standard().set("autoBackupEnabled", true);
    ChildProcess app;
    QProcess& p = app.process();
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(TESSARY_BINARY, {});
    // However slowly it starts, SIGTERM finds the app's own handler.
    ASSERT_TRUE(app.catches(SIGTERM, 30000)) << app.ending() << app.output().toStdString();
    EXPECT_FALSE(app.finished(1500)) << app.ending() << app.output().toStdString();
    // The recogniser loads with the first spoken search, not at start.
    QFile maps(QStringLiteral("/proc/%1/maps").arg(p.processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    EXPECT_FALSE(mapped.contains("libpocketsphinx") || mapped.contains("tessary-speech"));
    p.terminate();
    ASSERT_TRUE(app.finished(10000));
    EXPECT_TRUE(app.exitedCleanly()) << app.ending();
    const QString output = QString::fromUtf8(app.output());
    EXPECT_EQ(output.count("💾 备份导出成功"), 1) << output.toStdString();
    EXPECT_EQ(QDir(Paths::dataDir() + "/AutoBackups").entryList(QDir::Files).size(), 1);
}

namespace {
// The app binary, its output gathered while the test waits.
struct App : QProcess
{
    QString output;
    App()
    {
        setProcessChannelMode(QProcess::MergedChannels);
        connect(this, &QProcess::readyRead, this, [this] { output += QString::fromUtf8(readAll()); });
        start(TESSARY_BINARY, {});
    }
    ~App() override
    {
        terminate();
        waitForFinished(30000);
    }
    bool says(const QString& text)
    {
        return QTest::qWaitFor([&] { return output.contains(text); }, 30000);
    }
};
}

TEST(StartupTest, ASecondLaunchBringsTheFirstForwardAndEndsEvenAfterACrash)
{
    const QString socket = SingleInstance::serverName();
    EXPECT_TRUE(socket.startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/tessary-")) << socket.toStdString();
    auto first = std::make_unique<App>();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 30000)) << first->output.toStdString();
    App second;
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.output.contains("已在运行")) << second.output.toStdString();
    EXPECT_TRUE(first->says("再次启动：显示窗口")) << first->output.toStdString();
    EXPECT_EQ(first->state(), QProcess::Running);

    // A crash leaves the socket behind; the next launch takes its place.
    first->kill();
    first->waitForFinished(30000);
    first.reset();
    ASSERT_TRUE(QFileInfo::exists(socket));
    App third;
    // Listening once it catches SIGTERM, however slowly it got there.
    ASSERT_TRUE(QTest::qWaitFor([&] { return handlesSignal(third, SIGTERM) || third.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(third.state(), QProcess::Running) << third.output.toStdString();
    App fourth;
    ASSERT_TRUE(fourth.waitForFinished(30000));
    EXPECT_TRUE(third.says("再次启动：显示窗口")) << third.output.toStdString();
}

TEST(StartupTest, QtDialogsSpeakChinese)
{
    ASSERT_TRUE(TessaryApp::installQtTranslations());
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "取消");
}

TEST(StartupTest, ClosingDuringAnImportAsksAndQuittingCancelsIt)
{
    QTemporaryDir dir;
    for (const char* name : {"a.JPG", "b.JPG", "c.JPG"}) {
        QDir().mkpath(dir.path() + "/card");
        QFile f(dir.path() + "/card/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("photo");
    }
    AutoImportController& import = AutoImportController::shared();
    import.setDesktopPath(dir.path());
    import.setSoundPlayer([](float) {});
    QSemaphore reached, proceed;
    SafeFileTransfer::setReadHook([&](const QString&, qint64 at, qint64 size) {
        if (at == size) { // each file's data is all read
            reached.release();
            proceed.acquire();
        }
        return 0;
    });
    MainWindow w;
    w.show();
    QList<bool> answers{false, true};
    int asked = 0;
    w.setQuitQuestion([&] {
        ++asked;
        if (answers.first())
            proceed.release(3); // let the worker see the cancel
        return answers.takeFirst();
    });
    EXPECT_TRUE(w.close()); // nothing running: no question
    w.show();
    ASSERT_TRUE(import.processFolder(dir.path() + "/card"));
    reached.acquire();
    EXPECT_FALSE(w.close()); // "继续导片"
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(import.isProcessing());
    EXPECT_TRUE(w.close()); // "退出"
    EXPECT_EQ(asked, 2);
    QTRY_VERIFY(!import.isProcessing());
    EXPECT_TRUE(import.isCancelled());
    SafeFileTransfer::setReadHook({});
}
