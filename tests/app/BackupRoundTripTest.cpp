#include "ftp/FtpServerController.h"
#include "ftp/FtpTransferView.h"
#include "orderbook/BackupManager.h"
#include "orderbook/CalendarSyncManager.h"
#include "orderbook/OrderManager.h"
#include "orderbook/PackageManager.h"
#include "orders/OrderFormModel.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"
#include "schedule/ScheduleSettingsState.h"
#include "settings/LauncherIconSync.h"
#include "settings/SettingsView.h"
#include "settings/UniformVolumeSlider.h"
#include "tools/AutoImportController.h"
#include "InMemoryCalendarStore.h"
#include "UserInput.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

namespace {
UserDefaults& store() { return UserDefaults::standard(); }

// The backed-up keys the store holds, as it holds them.
QVariantMap backedUpValues()
{
    QVariantMap values;
    const QVariantMap stored = store().dictionaryRepresentation();
    for (const QString& key : BackupManager::shared().backupKeys()) {
        if (stored.contains(key))
            values.insert(key, stored.value(key));
    }
    return values;
}

void retype(QLineEdit* field, const QString& text)
{
    UserInput::click(field);
    UserInput::key(field, Qt::Key_A, Qt::ControlModifier);
    UserInput::key(field, Qt::Key_Backspace);
    UserInput::type(field, text);
}

void typeOnTheFtpScreen()
{
    FtpServerController controller;
    FtpTransferView view(&controller);
    view.resize(1000, 800);
    view.show();
    // Any text goes in as typed, letters included; it is judged at start only.
    retype(view.findChild<QLineEdit*>("ftpPortField"), "21a21");
    retype(view.findChild<QLineEdit*>("ftpUsernameField"), "摄影师");
    retype(view.findChild<QLineEdit*>("ftpPasswordField"), "pa ss");
}

void clickOnTheSettingsScreen()
{
    SettingsView view;
    view.resize(560, 700);
    view.show();
    auto clickIn = [&](const QString& name) {
        auto* target = view.findChild<QWidget*>(name);
        ASSERT_TRUE(target) << name.toStdString();
        UserInput::clickInView(target);
    };
    for (const char* name : {"autoImportSoundSwitch", "missingRawListSwitch", "autoBackupEnabledSwitch",
                             "autoBackupEnabledSwitch", "launchPage_FTP传输", "theme_light", "theme_dark",
                             "iconChoice_cameraGold"})
        clickIn(name);
    auto* slider = view.findChild<UniformVolumeSlider*>("volumeSlider");
    UserInput::scrollIntoView(slider);
    const auto inWindow = [slider](QPointF p) { return slider->mapTo(slider->window(), p.toPoint()); };
    const QPoint grab = inWindow(slider->thumbRect().center());
    const QPoint end = inWindow(QPointF(slider->width() * 0.3, slider->thumbRect().center().y()));
    QWindow* window = slider->window()->windowHandle();
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, grab);
    QTest::mouseMove(window, end);
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, end);
}

void writeThroughTheStores(const QString& folder)
{
    OrderManager& orders = OrderManager::shared();
    PackageManager& packages = PackageManager::shared();
    packages.loadPackages();
    ASSERT_TRUE(packages.addPackage("自定义", 999, 100));
    const QDateTime shoot(QDate(2026, 5, 1), QTime(10, 0));
    ASSERT_TRUE(orders.addOrder(Order("张三", "13800000000", "自定义", shoot, shoot, ShootTimeSlot::morning, 999, 100,
                                      {PaymentRecord(100, shoot, "定金")}, "", OrderStatus::pendingShoot, false,
                                      QString("提前1天"), "公园", false)));
    ASSERT_TRUE(orders.toggleRestDay(QDate(2026, 5, 2)));

    InMemoryCalendarStore calendar;
    CalendarSyncManager sync(calendar, UserNotificationCenter::current(), store(), orders);
    ScheduleSettingsState schedule(store(), orders, packages, sync, UserNotificationCenter::current());
    schedule.stepDailyLimit(2);
    schedule.setWeekStartsOnMonday(false);
    schedule.setCalendarSyncEnabled(false);
    schedule.setSyncCalendarDefault(false);
    schedule.setLocalNotificationEnabled(false);
    schedule.loadRules();
    schedule.addRule();
    schedule.setRuleUnit(schedule.rules().last().id, ReminderUnit::hour);

    AutoImportController::setDailyNewFolder(true);
    AutoImportController::setImportRootPath(folder + "/照片");

    OrderFormModel form(orders, packages, store(), std::nullopt, shoot, {});
    form.toggleQuickLocationEditing();
    form.setQuickLocation(0, "海边");
    form.toggleQuickLocationEditing();
}

// Keys no code of the app writes any more, as earlier versions kept them.
void writeWhatOnlyEarlierVersionsWrote()
{
    const QVariantMap values{
        {"scheduleReminderDefault", "提前2天"}, {"ftpAllowVideo", false}, {"ftpRootDirectory", "/srv/相机"},
        {"ftpAnonymousAccess", true}, {"autoImportEnabled", true}, {"autoImportPlaySound", false},
        {"autoImportCreateDailyFolder", true}, {"autoImportSavePath", "/home/me/导片"}, {"quickSplitSeparator", "，"},
        {"scheduleViewMode", 1}, {"scheduleStatsMode", "month"},
        {"scheduleListColumnWidths", QVariantMap{{"客户", 120.5}}}, {"scheduleListHiddenColumns", QVariantList{"电话"}},
        {"scheduleListDefaultSort", "date"}, {"scheduleListFilterPresets", QVariantList{QVariantMap{{"name", "本月"}}}},
        {"scheduleCustomStatsTemplates", QVariantList{}}, {"scheduleRecycleBin", QVariantList{"x"}},
        {"schedulePrintTemplates", QVariantMap{{"a4", true}}}};
    ASSERT_TRUE(store().setValues(values));
}

void startAFreshProfile()
{
    for (const QString& key : store().dictionaryRepresentation().keys())
        store().remove(key);
    // A restored icon style must not start a launcher install in the test.
    store().set("launchpadSync", false);
}
}

// Whatever the screens and stores wrote comes back from each backup the app
// writes: the manual export, the automatic backup at quit and the copy kept
// before an import.
TEST(BackupRoundTrip, EveryBackupTheAppWritesImportsBackEveryValue)
{
    QTemporaryDir dir;
    store().set("launchpadSync", false);
    typeOnTheFtpScreen();
    clickOnTheSettingsScreen();
    writeThroughTheStores(dir.path());
    writeWhatOnlyEarlierVersionsWrote();
    LauncherIconSync::waitForIdle();

    const QVariantMap written = backedUpValues();
    QStringList every = BackupManager::shared().backupKeys();
    every.sort();
    ASSERT_EQ(written.keys(), every) << "every key written";
    EXPECT_EQ(written.value("ftpPort"), QVariant("21a21"));
    EXPECT_EQ(written.value("autoImportVolume").typeId(), QMetaType::LongLong);
    EXPECT_NE(written.value("autoImportVolume"), QVariant(qint64(80))) << "the drag moved it";

    const QString manual = dir.path() + "/manual.kvbak";
    ASSERT_TRUE(BackupManager::shared().exportBackup(manual, true, true, true, true));
    BackupManager::shared().performAutoBackupIfEnabled();
    const QString backups = Paths::dataDir() + "/AutoBackups/";
    const QStringList automatic = QDir(backups).entryList({"auto_backup_*.kvbak"});
    ASSERT_EQ(automatic.size(), 1);
    ASSERT_TRUE(BackupManager::shared().importBackup(manual).success);
    const QStringList kept = QDir(backups).entryList({"before_import_*.kvbak"});
    ASSERT_EQ(kept.size(), 1);

    for (const QString& file : {manual, backups + automatic.first(), backups + kept.first()}) {
        SCOPED_TRACE(file.toStdString());
        startAFreshProfile();
        const BackupManager::ImportResult result = BackupManager::shared().importBackup(file);
        ASSERT_TRUE(result.success) << result.message.toStdString();
        const QVariantMap restored = backedUpValues();
        EXPECT_EQ(restored.keys(), written.keys());
        for (auto it = written.begin(); it != written.end(); ++it) {
            EXPECT_EQ(restored.value(it.key()), it.value()) << it.key().toStdString();
            EXPECT_EQ(restored.value(it.key()).typeId(), it.value().typeId()) << it.key().toStdString();
        }
    }
    LauncherIconSync::waitForIdle();
}
