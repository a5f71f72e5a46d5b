#include "SaveFaults.h"
#include "UserInput.h"

#include "online/FeedbackChatModel.h"
#include "online/FeedbackManager.h"
#include "orderbook/BackupManager.h"
#include "orderbook/OrderManager.h"
#include "orders/CsvExportFile.h"
#include "platform/IcsCalendarStore.h"
#include "platform/Paths.h"
#include "platform/PendingNotificationStore.h"
#include "platform/UserDefaults.h"
#include "settings/SettingsView.h"
#include "ui/ToggleSwitch.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

Order booking(const QString& name)
{
    const QDateTime shoot(QDate::currentDate().addDays(3), QTime(10, 0));
    return Order(name, "13800138000", "标准套系", shoot, shoot, ShootTimeSlot::morning, 2000, 0, {}, "",
                 OrderStatus::pendingDeposit, false, QString("提前1天"), "", false);
}

// One store: `prepare` leaves a good file at `path`, `save` makes the next
// change and returns the cause it reported (empty when it claimed success).
struct Store
{
    const char* name;
    std::function<QString()> path;
    std::function<void()> prepare;
    std::function<QString()> save;
};

class SaveFailureTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString file(const QString& name) const { return dir.path() + "/" + name; }
};

// Whichever step of the write fails, each store keeps its old file byte for
// byte and reports the cause; nothing says it was saved.
TEST_F(SaveFailureTest, EveryStoreKeepsItsFileAndReportsTheCause)
{
    IcsCalendarStore calendar(file("calendars"));
    CalendarInfo shoots;
    PendingNotificationStore pending(file("pending.json"));
    UserDefaults chatDefaults(file("chat.json"));
    FeedbackManager feedback(chatDefaults, [] { return std::nullopt; }, [] { return std::nullopt; },
                             &QDateTime::currentDateTimeUtc);
    OrderManager& orders = OrderManager::shared();
    const Store stores[] = {
        {"orders", [] { return UserDefaults::standard().filePath(); },
         [&] { ASSERT_TRUE(orders.addOrder(booking("王女士"))); },
         [&] {
             const qsizetype before = orders.orders().size();
             const bool stored = orders.addOrder(booking("李先生"));
             EXPECT_EQ(orders.orders().size(), before) << "memory stays what the file holds";
             return stored ? QString() : orders.lastSaveError();
         }},
        {"calendar", [&] { return file("calendars/" + shoots.identifier + ".ics"); },
         [&] {
             shoots.title = "拍摄档期";
             QString error;
             ASSERT_TRUE(calendar.saveCalendar(shoots, true, &error)) << error.toStdString();
         },
         [&] {
             CalendarEvent e;
             e.calendarIdentifier = shoots.identifier;
             e.title = "王女士 - 标准套系";
             e.startDate = QDateTime(QDate(2027, 5, 1), QTime(9, 0));
             e.endDate = e.startDate.addSecs(3600);
             QString error;
             return calendar.saveEvent(e, true, &error) ? QString() : error;
         }},
        {"reminders", [&] { return pending.path(); },
         [&] { ASSERT_TRUE(pending.update([](auto& list) { list.append({"A", "拍摄提醒", "", "王女士", true, {2027, 5, 1, 9, 0}}); })); },
         [&] {
             QString error;
             const auto list = pending.update(
                 [](auto& list) { list.append({"B", "拍摄提醒", "", "李先生", true, {2027, 5, 2, 9, 0}}); }, &error);
             return list ? QString() : error;
         }},
        {"chat", [&] { return chatDefaults.filePath(); },
         [&] {
             chatDefaults.set("local_feedback_messages",
                              QVariantList{QVariantMap{{"isUser", true}, {"text", "能加个导出吗"}, {"time", "12-05 21:59"}}});
         },
         [&] {
             FeedbackChatModel chat(feedback, chatDefaults, &QDateTime::currentDateTimeUtc);
             chat.loadMessages();
             QSignalSpy failed(&chat, &FeedbackChatModel::saveFailed);
             EXPECT_TRUE(chat.withdraw(chat.messages().last().id));
             chat.flush();
             return failed.wait(2000) ? failed.first().first().toString() : QString();
         }},
        {"backup export", [&] { return file("backup.kvbak"); },
         [&] { ASSERT_TRUE(BackupManager::shared().exportBackup(file("backup.kvbak"), true, true, true, true)); },
         [&] {
             QString error;
             const bool ok = BackupManager::shared().exportBackup(file("backup.kvbak"), true, true, true, true, &error);
             return ok ? QString() : error;
         }},
        {"CSV export", [&] { return file("orders.csv"); },
         [&] { ASSERT_TRUE(CsvExportFile::write(file("orders.csv"), "客户,金额\n王女士,2000\n", nullptr)); },
         [&] {
             QString error;
             return CsvExportFile::write(file("orders.csv"), "客户,金额\n李先生,3000\n", &error) ? QString() : error;
         }},
    };
    const struct
    {
        Paths::SaveStep step;
        int error;
        const char* cause;
    } faults[] = {
        {Paths::SaveStep::Write, ENOSPC, "磁盘空间不足"},
        {Paths::SaveStep::Sync, EIO, "磁盘读写出错（I/O 错误）"},
        {Paths::SaveStep::Close, ENOSPC, "磁盘空间不足"},
        {Paths::SaveStep::Rename, EIO, "磁盘读写出错（I/O 错误）"},
    };
    for (const Store& store : stores) {
        store.prepare();
        for (const auto& fault : faults) {
            const QByteArray before = readAll(store.path());
            ASSERT_FALSE(before.isEmpty()) << store.name;
            QString cause;
            {
                SaveFaults::Fail fail(fault.step, 1, fault.error);
                cause = store.save();
            }
            EXPECT_TRUE(cause.contains(QString::fromUtf8(fault.cause)))
                << store.name << " " << int(fault.step) << ": " << cause.toStdString();
            EXPECT_EQ(readAll(store.path()), before) << store.name << " " << int(fault.step);
        }
        const QStringList left = QDir(QFileInfo(store.path()).absolutePath()).entryList(QDir::Hidden | QDir::Files);
        for (const QString& name : left)
            EXPECT_FALSE(name.startsWith('.')) << store.name << " left " << name.toStdString();
    }
}

class SaveFailureScreenTest : public SaveFailureTest
{
protected:
    void SetUp() override { UserDefaults::standard().set("launchpadSync", false); }
    std::unique_ptr<SettingsView> settings(const QString& exportPath)
    {
        auto view = std::make_unique<SettingsView>();
        view->setFileChooser({[exportPath](QWidget*, const QString&, std::function<void(QString)> done) { done(exportPath); },
                              [](QWidget*, std::function<void(QString)> done) { done(QString()); }});
        view->resize(560, 580);
        view->show();
        QApplication::processEvents();
        return view;
    }
    static void tap(QWidget* w)
    {
        for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
            if (auto* area = qobject_cast<QScrollArea*>(p)) {
                area->ensureWidgetVisible(w, 10, 10);
                break;
            }
        QApplication::processEvents();
        UserInput::click(w);
    }
    // The text of the alert shown over `window`, which is then dismissed.
    static QString alertText(QWidget* window)
    {
        QMessageBox* box = nullptr;
        (void)QTest::qWaitFor([&] { return (box = window->findChild<QMessageBox*>()) != nullptr; }, 1000);
        if (!box)
            return {};
        const QString text = box->text();
        box->close();
        QApplication::processEvents();
        return text;
    }
};

// Where the user acted: the switch goes back with an alert naming the cause,
// and the backup export says it failed instead of showing a size.
TEST_F(SaveFailureScreenTest, SettingsSwitchAndBackupExportShowTheFailure)
{
    const QString exportPath = file("backup.kvbak");
    ASSERT_TRUE(BackupManager::shared().exportBackup(exportPath, true, true, true, true));
    const QByteArray oldBackup = readAll(exportPath);
    const QByteArray oldSettings = readAll(UserDefaults::standard().filePath());
    auto view = settings(exportPath);
    auto* toggle = view->findChild<ToggleSwitch*>("autoImportSoundSwitch");
    ASSERT_TRUE(toggle && toggle->isChecked());
    {
        SaveFaults::Fail fail(Paths::SaveStep::Write, 1, ENOSPC);
        tap(toggle);
        EXPECT_EQ(alertText(view.get()), "设置未保存：磁盘空间不足");
        EXPECT_TRUE(toggle->isChecked());
        EXPECT_EQ(readAll(UserDefaults::standard().filePath()), oldSettings);
    }
    {
        SaveFaults::Fail fail(Paths::SaveStep::Write, 1, ENOSPC);
        tap(view->findChild<QWidget*>("exportBackupButton"));
        QTest::qWait(5);
        EXPECT_EQ(view->backupMessage(), "❌ 导出失败：磁盘空间不足");
        EXPECT_EQ(readAll(exportPath), oldBackup);
    }
}

// A real full disk under the settings file: turning a switch and saving an
// order change nothing on disk, and both say so.
TEST_F(SaveFailureScreenTest, ARealFullDiskChangesNothing)
{
    ASSERT_TRUE(OrderManager::shared().addOrder(booking("王女士")));
    const qsizetype orders = OrderManager::shared().orders().size();
    const QString settingsFile = UserDefaults::standard().filePath();
    const QByteArray before = readAll(settingsFile);
    auto view = settings(file("unused.kvbak"));
    SaveFaults::FullDisk full(QFileInfo(settingsFile).absolutePath());
    if (!full.mounted())
        GTEST_SKIP() << full.skipReason().toStdString();
    ASSERT_EQ(readAll(settingsFile), before);

    auto* toggle = view->findChild<ToggleSwitch*>("autoImportSoundSwitch");
    tap(toggle);
    EXPECT_EQ(alertText(view.get()), "设置未保存：磁盘空间不足");
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_FALSE(OrderManager::shared().addOrder(booking("李先生")));
    EXPECT_EQ(OrderManager::shared().lastSaveError(), "磁盘空间不足");
    EXPECT_EQ(OrderManager::shared().orders().size(), orders);
    EXPECT_EQ(readAll(settingsFile), before);
}

}
