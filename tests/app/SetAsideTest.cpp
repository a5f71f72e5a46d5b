#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "app/SetAsideAlert.h"
#include "orderbook/BackupManager.h"
#include "orderbook/OrderManager.h"
#include "platform/Paths.h"
#include "platform/PendingNotificationStore.h"
#include "platform/SetAsideFiles.h"
#include "platform/UserDefaults.h"
#include "ui/ThemeObserver.h"
#include "ChildProcess.h"
#include "UserInput.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
QString backupDir() { return Paths::dataDir() + "/AutoBackups"; }

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

void storeOrders(const QStringList& names)
{
    QList<Order> orders;
    for (const QString& name : names) {
        Order o = Order::blank();
        o.customerName = name;
        o.shootDate = QDateTime(QDate(2025, 3, 1), QTime(0, 0));
        o.shootTime = QDateTime(QDate(2025, 3, 1), QTime(10, 0));
        orders << o;
    }
    ASSERT_TRUE(OrderManager::shared().setOrders(orders));
    OrderManager::shared().save();
}

// An automatic backup of the orders `names`, stamped `stamp`.
void autoBackup(const QStringList& names, const QString& stamp)
{
    storeOrders(names);
    UserDefaults::standard().set("autoBackupEnabled", true);
    QDir(backupDir()).removeRecursively();
    QDir().mkpath(Paths::dataDir() + "/Stamped");
    BackupManager::shared().performAutoBackupIfEnabled();
    const QStringList made = QDir(backupDir()).entryList(QDir::Files);
    ASSERT_EQ(made.size(), 1);
    ASSERT_TRUE(QFile::rename(backupDir() + "/" + made.first(),
                              Paths::dataDir() + "/Stamped/auto_backup_" + stamp + ".kvbak"));
}

void placeStampedBackups()
{
    const QString stamped = Paths::dataDir() + "/Stamped";
    for (const QString& name : QDir(stamped).entryList(QDir::Files))
        ASSERT_TRUE(QFile::rename(stamped + "/" + name, backupDir() + "/" + name));
}
}

TEST(SetAsideTest, TheAlertNamesEveryCopyAndRestoresTheNewestBackupThatHoldsOrders)
{
    SetAsideFiles::clear();
    MainWindow window;
    window.show();
    EXPECT_EQ(SetAsideAlert::showIfNeeded(&window), nullptr) << "nothing set aside, nothing said";

    QTemporaryDir dir;
    write(dir.path() + "/settings.json", "{\"half");
    UserDefaults unreadable(dir.path() + "/settings.json");
    write(dir.path() + "/pending.json", "not a list");
    PendingNotificationStore(dir.path() + "/pending.json").read();
    const QList<SetAsideFiles::Entry> aside = SetAsideFiles::all();
    ASSERT_EQ(aside.size(), 2);

    autoBackup({"甲", "乙"}, "20250101_100000");
    autoBackup({}, "20250102_100000");
    placeStampedBackups();
    storeOrders({"丙"});

    const QString shots = QCoreApplication::applicationDirPath() + "/../../screenshots";
    QDir().mkpath(shots);
    for (AppThemeStyle style : AppThemeStyles::allCases()) {
        ThemeObserver::shared().setStyle(style);
        QMessageBox* shown = SetAsideAlert::showIfNeeded(&window);
        QTest::qWait(20);
        EXPECT_TRUE(shown->grab().save(shots + "/set-aside-alert-" + AppThemeStyles::rawValue(style) + ".png"));
        shown->close();
    }
    QMessageBox* alert = SetAsideAlert::showIfNeeded(&window);
    ASSERT_NE(alert, nullptr);
    const QString text = alert->text();
    for (const SetAsideFiles::Entry& e : aside)
        EXPECT_TRUE(text.contains(e.copy)) << text.toStdString();
    EXPECT_TRUE(text.contains("最近一次含订单的自动备份：2025-01-01 10:00:00，共 2 个订单。")) << text.toStdString();
    QAbstractButton* restore = nullptr;
    for (QAbstractButton* b : alert->buttons())
        if (b->text() == "恢复该备份")
            restore = b;
    ASSERT_NE(restore, nullptr);
    UserInput::click(restore);

    QMessageBox* outcome = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (outcome = window.findChild<QMessageBox*>("restoreOutcome")); }, 2000));
    EXPECT_TRUE(outcome->text().startsWith("✅ 恢复完成\n备份导入成功")) << outcome->text().toStdString();
    EXPECT_TRUE(outcome->text().contains(backupDir() + "/before_import_")) << outcome->text().toStdString();
    EXPECT_EQ(OrderManager::shared().orders().size(), 2);
    outcome->close();
    SetAsideFiles::clear();
}

// "知道了" leaves the orders as they are and makes no copy: only
// "恢复该备份" restores.
TEST(SetAsideTest, TheAcknowledgeButtonRestoresNothing)
{
    autoBackup({"甲", "乙"}, "20250101_100000");
    placeStampedBackups();
    storeOrders({"丙"});
    SetAsideFiles::record(SetAsideFiles::Kind::settings, UserDefaults::standard().filePath(), "aside");
    QWidget window;
    window.show();
    QMessageBox* alert = SetAsideAlert::showIfNeeded(&window);
    ASSERT_NE(alert, nullptr);
    const QList<QAbstractButton*> buttons = alert->buttons();
    const auto ok = std::find_if(buttons.begin(), buttons.end(), [](QAbstractButton* b) { return b->text() == "知道了"; });
    ASSERT_NE(ok, buttons.end());
    UserInput::click(*ok);
    QApplication::processEvents();
    EXPECT_FALSE(window.findChild<QMessageBox*>("restoreOutcome"));
    EXPECT_EQ(OrderManager::shared().orders().size(), 1);
    EXPECT_TRUE(QDir(backupDir()).entryList({"before_import_*"}, QDir::Files).isEmpty());
    SetAsideFiles::clear();
}

// The real binary over a settings file it cannot read: it starts empty, and
// quitting must not rotate away the backups that still hold the orders.
TEST(SetAsideTest, ALaunchThatSetTheSettingsAsideMakesNoAutomaticBackup)
{
    QDir(backupDir()).removeRecursively();
    QDir(Paths::dataDir() + "/Stamped").removeRecursively();
    for (int day = 1; day <= 5; ++day)
        autoBackup({"甲"}, QString("2025010%1_100000").arg(day));
    placeStampedBackups();
    const QStringList before = QDir(backupDir()).entryList(QDir::Files);
    ASSERT_EQ(before.size(), 5);
    write(UserDefaults::standard().filePath(), "{\"schedule_orders_v1\": tru");

    ChildProcess app;
    app.process().setProcessChannelMode(QProcess::MergedChannels);
    app.process().start(TESSARY_BINARY, {});
    // However slowly it starts, SIGTERM finds the app's own handler.
    ASSERT_TRUE(app.catches(SIGTERM, 30000)) << app.ending() << app.output().toStdString();
    EXPECT_FALSE(app.finished(2000)) << app.ending();
    app.process().terminate();
    ASSERT_TRUE(app.finished(10000));
    EXPECT_TRUE(app.exitedCleanly()) << app.ending();
    const QString output = QString::fromUtf8(app.output());
    EXPECT_TRUE(output.contains("💾 本次启动时设置文件无法读取，恢复备份或修改订单前不做自动备份")) << output.toStdString();
    EXPECT_EQ(QDir(backupDir()).entryList(QDir::Files), before);
}

TEST(SetAsideTest, ACancelledLogoutLeavesTheQuitItsBackupOfWhatChangedSince)
{
    QDir(backupDir()).removeRecursively();
    UserDefaults::standard().set("autoBackupEnabled", true);
    UserDefaults::standard().set("scheduleMaxOrdersPerDay", 3);
    struct Case { const char* what; bool changeAfterLogout; int maxOrdersInNewest; };
    for (const Case& c : {Case{"nothing changed", false, 3}, Case{"a change after the cancelled logout", true, 9}}) {
        QDir(backupDir()).removeRecursively();
        AppDelegate delegate;
        delegate.saveBeforeLogout();
        ASSERT_EQ(QDir(backupDir()).entryList(QDir::Files).size(), 1) << c.what;
        if (c.changeAfterLogout)
            UserDefaults::standard().set("scheduleMaxOrdersPerDay", 9);
        QTest::qWait(1100); // a new stamp for a new backup
        delegate.applicationWillTerminate();
        const QStringList files = QDir(backupDir()).entryList(QDir::Files, QDir::Name);
        EXPECT_EQ(files.size(), c.changeAfterLogout ? 2 : 1) << c.what;
        QFile newest(backupDir() + "/" + files.last());
        ASSERT_TRUE(newest.open(QIODevice::ReadOnly));
        EXPECT_TRUE(newest.readAll().contains(QString("\"scheduleMaxOrdersPerDay\": %1").arg(c.maxOrdersInNewest).toUtf8()))
            << c.what;
    }
}

TEST(SetAsideTest, TheHeldBackupResumesOnlyAfterTheUsersOwnOrderChange)
{
    UserDefaults::standard().set("autoBackupEnabled", true);
    struct Case { const char* what; std::function<void()> change; bool resumes; };
    const QList<Case> cases{
        {"the calendar import adds orders", [] {
             const BackupManager::AutomaticOrderChange automatic;
             storeOrders({"日历"});
         }, false},
        {"the user adds an order", [] { storeOrders({"甲"}); }, true},
    };
    // What a launch over an unreadable settings file records.
    SetAsideFiles::record(SetAsideFiles::Kind::settings, UserDefaults::standard().filePath(), "aside");
    for (const Case& c : cases) {
        QDir(backupDir()).removeRecursively();
        c.change();
        BackupManager::shared().performAutoBackupIfEnabled();
        EXPECT_EQ(QDir(backupDir()).entryList(QDir::Files).size(), c.resumes ? 1 : 0) << c.what;
    }
    SetAsideFiles::clear();
}
