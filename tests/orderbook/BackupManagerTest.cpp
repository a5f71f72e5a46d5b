#include "SaveFaults.h"

#include "orderbook/BackupManager.h"
#include "orderbook/OrderCodec.h"
#include "orderbook/OrderManager.h"
#include "orderbook/PackageManager.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cerrno>
#include <optional>

namespace {

const QStringList kCoreKeys = {
    "schedule_orders_v1", "schedule_restdays_v1", "schedulePackages", "scheduleMaxOrdersPerDay",
    "scheduleSyncCalendarDefault", "scheduleReminderDefault", "packageDepositMigratedTo300", "ftpAllowVideo", "ftpPort",
    "ftpUsername", "ftpPassword", "ftpRootDirectory", "ftpAnonymousAccess", "defaultLaunchPage", "autoImportEnabled",
    "autoImportVolume", "autoImportPlaySound", "autoImportCreateDailyFolder", "autoImportSavePath",
    "quickSplitSeparator", "scheduleViewMode", "scheduleStatsMode", "scheduleReminderRules", "calendarSyncEnabled",
    "scheduleLocalNotificationEnabled", "weekStartsOnMonday", "quickShootLocations", "autoBackupEnabled",
    "appThemeStyle", "appIconStyle", "autoImportSound", "dailyNewFolder", "autoImportRootPath", "missingRawList"};
const QStringList kViewKeys = {"scheduleListColumnWidths", "scheduleListHiddenColumns", "scheduleListDefaultSort",
                               "scheduleListFilterPresets"};
const QStringList kOtherChoices = {"scheduleCustomStatsTemplates", "scheduleRecycleBin", "schedulePrintTemplates"};
const QString kRules =
    R"([{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","value":7,"unit":"天","triggerTime":784000000},)"
    R"({"id":"1F8FAD5B-D9CB-469F-A165-70867728950E","value":2,"unit":"小时"}])";

// `backup` with each stored list as a JSON array instead of base64 text.
QByteArray withListsAsArrays(const QByteArray& backup)
{
    QJsonObject root = QJsonDocument::fromJson(backup).object();
    QJsonObject data = root["data"].toObject();
    for (const char* key : {"schedule_orders_v1", "schedule_restdays_v1", "schedulePackages", "scheduleReminderRules"}) {
        const QByteArray list = QByteArray::fromBase64(data[key].toString().toLatin1());
        EXPECT_TRUE(QJsonDocument::fromJson(list).isArray()) << key;
        data[key] = QJsonDocument::fromJson(list).array();
    }
    root["data"] = data;
    return QJsonDocument(root).toJson();
}

class BackupManagerTest : public ::testing::Test
{
protected:
    UserDefaults& defaults = UserDefaults::standard();
    BackupManager& backups = BackupManager::shared();
    QTemporaryDir dir;

    QString path(const QString& name = "b.kvbak") const { return dir.path() + "/" + name; }

    static QByteArray readAll(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void write(const QString& file, const QByteArray& bytes)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    // Every key with a value of the kind the app keeps there.
    void fillEveryKey()
    {
        for (const QString& key : kCoreKeys + kViewKeys + kOtherChoices + QStringList{"unlistedKey"})
            defaults.set(key, key);
        for (const char* key : {"scheduleMaxOrdersPerDay", "ftpPort", "autoImportVolume"})
            defaults.set(key, int(qstrlen(key)));
        for (const char* key : {"scheduleSyncCalendarDefault", "packageDepositMigratedTo300", "ftpAllowVideo",
                                "ftpAnonymousAccess", "autoImportEnabled", "autoImportPlaySound",
                                "autoImportCreateDailyFolder", "calendarSyncEnabled", "scheduleLocalNotificationEnabled",
                                "weekStartsOnMonday", "autoBackupEnabled", "autoImportSound", "dailyNewFolder",
                                "missingRawList"})
            defaults.set(key, qstrlen(key) % 2 == 0);
        defaults.set("quickShootLocations", QVariantList{"公园", "海边"});
        defaults.set("schedule_orders_v1", QByteArray("[]"));
        defaults.set("schedule_restdays_v1", QByteArray("[]"));
        defaults.set("schedulePackages", QByteArray("[]"));
        defaults.set("scheduleReminderRules", kRules.toUtf8());
    }
};

}

TEST_F(BackupManagerTest, ExportWritesTheChosenKeys)
{
    const QList<std::pair<std::array<bool, 4>, QStringList>> cases = {
        {{false, false, false, false}, {}},
        {{true, false, false, false}, kViewKeys},
        {{false, true, false, false}, {"scheduleCustomStatsTemplates"}},
        {{false, false, true, false}, {"scheduleRecycleBin"}},
        {{false, false, false, true}, {"schedulePrintTemplates"}},
        {{true, true, true, true}, kViewKeys + kOtherChoices},
    };
    fillEveryKey();
    for (const auto& [choices, extra] : cases) {
        ASSERT_TRUE(backups.exportBackup(path(), choices[0], choices[1], choices[2], choices[3]));
        const QByteArray bytes = readAll(path());
        EXPECT_TRUE(bytes.contains("\n    \"version\": \"3.2\"")) << "pretty-printed";
        const QJsonObject root = QJsonDocument::fromJson(bytes).object();
        EXPECT_EQ(root["appName"].toString(), "Kelvara");
        QStringList expected = kCoreKeys + extra;
        expected.sort();
        EXPECT_EQ(root["data"].toObject().keys(), expected);
    }
}

TEST_F(BackupManagerTest, ImportRepliesAndRefusals)
{
    const QString ok = "备份导入成功，请重启软件使全部数据生效";
    const QString invalid = "备份文件格式无效";
    // A file whose "data" holds `members`; `bytes` of a byte key as base64.
    auto file = [](const QByteArray& members) { return R"({"data":{"ftpPort":99,)" + members + "}}"; };
    auto b64 = [](const QByteArray& bytes) { return '"' + bytes.toBase64() + '"'; };
    struct Case {
        const char* what;
        QByteArray file;
        QString message; // the whole refusal, or how a success or a refusal with a cause begins
    };
    const QList<Case> cases = {
        {"not JSON", "{\"data\":", "文件不是有效的 JSON（"},
        {"an array", "[1]", invalid},
        {"no data", R"({"version":"3.2"})", invalid},
        {"data not an object", R"({"data":[]})", invalid},
        {"empty data", R"({"data":{}})", ok},
        {"orders not base64", file(R"("schedule_orders_v1":"!!")"), invalid},
        {"orders that do not decode", file(R"("schedule_orders_v1":)" + b64("[{}]")), invalid},
        {"rest days that do not decode", file(R"("schedule_restdays_v1":)" + b64("{}")), invalid},
        {"packages as a number", file(R"("schedulePackages":5)"), invalid},
        {"rules with an unknown unit",
         file(R"("scheduleReminderRules":)" + b64(R"([{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","value":1,"unit":"周"}])")),
         invalid},
        {"unlisted keys and nulls skipped, only byte keys decoded",
         R"({"data":{"evil":1,"ftpRootPermission":"rw","ftpUsername":"YWJj","ftpPort":null,"schedule_orders_v1":)"
             + b64("[]") + R"(,"quickShootLocations":["a",null,"b"]}})",
         ok},
    };
    for (const Case& c : cases) {
        defaults.set("ftpPort", 2121);
        write(path(), c.file);
        const BackupManager::ImportResult result = backups.importBackup(path());
        EXPECT_EQ(result.success, c.message == ok) << c.what;
        if (c.message == ok || c.message.endsWith("（"))
            EXPECT_TRUE(result.message.startsWith(c.message) && result.message.size() > c.message.size()) << c.what;
        else
            EXPECT_EQ(result.message, c.message) << c.what;
        EXPECT_FALSE(result.message.contains("导入失败")) << c.what << ": the screen and the log line add it";
        EXPECT_EQ(defaults.integer("ftpPort"), 2121) << c.what << ": nothing written on refusal, nulls skipped";
    }
    EXPECT_FALSE(defaults.hasStoredValue("evil"));
    EXPECT_FALSE(defaults.hasStoredValue("ftpRootPermission"));
    EXPECT_EQ(defaults.object("ftpUsername"), QVariant("YWJj"));
    EXPECT_EQ(defaults.data("schedule_orders_v1"), QByteArray("[]"));
    EXPECT_EQ(defaults.array("quickShootLocations"), (QVariantList{"a", "b"}));

    EXPECT_TRUE(backups.importBackup(path("missing")).message.startsWith("无法读取文件（"));
    QFile big(path("big"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(BackupManager::maxImportBytes + 1));
    EXPECT_TRUE(backups.importBackup(path("big")).message.startsWith("文件过大"));
}

// A value of the wrong kind, another app's file, or no copy of what it
// would replace: refused before anything is replaced, the settings file and
// the backups folder stay as they were.
TEST_F(BackupManagerTest, WrongKindsAndOtherAppsAreRefusedWholesale)
{
    struct Case {
        const char* what;
        QByteArray root;  // members beside "data"
        QByteArray data;  // members of "data"
        QString refusal;  // empty: imported
        bool copyFails = false;
    };
    const QList<Case> cases = {
        {"a number for the save folder", "", R"("autoImportRootPath":12)", "备份中“autoImportRootPath”的值不是文本"},
        {"a switch for the port", "", R"("ftpPort":true)", "备份中“ftpPort”的值不是文本或整数"},
        {"a fraction for the volume", "", R"("autoImportVolume":0.8)", "备份中“autoImportVolume”的值不是整数"},
        {"a port beyond int", "", R"("ftpPort":4294967296)", "备份中“ftpPort”的值不是文本或整数"},
        {"text for a switch", "", R"("weekStartsOnMonday":"yes")", "备份中“weekStartsOnMonday”的值不是开关值（true/false）"},
        {"2 for a switch", "", R"("autoBackupEnabled":2)", "备份中“autoBackupEnabled”的值不是开关值（true/false）"},
        {"a number in the places", "", R"("quickShootLocations":["公园",3])", "备份中“quickShootLocations”的值不是文本列表"},
        {"an object for a name", "", R"("appIconStyle":{})", "备份中“appIconStyle”的值不是文本"},
        {"another app", R"("appName":"OtherApp",)", R"("ftpPort":21)", "这不是 Kelvara 的备份文件（appName 为“OtherApp”）"},
        {"a number as the app", R"("appName":7,)", R"("ftpPort":21)", "这不是 Kelvara 的备份文件（appName 为“非文本值”）"},
        {"the safety copy cannot be written", "", R"("ftpPort":21)",
         "无法先备份当前数据（磁盘空间不足），未导入任何内容", true},
        {"our own name", R"("appName":"Kelvara",)", R"("ftpPort":22)", ""},
        {"flags as 0/1, whole doubles, no app name", "",
         R"("weekStartsOnMonday":0,"ftpAllowVideo":1,"ftpPort":21.0,"autoImportRootPath":"/media/卡","scheduleViewMode":2)",
         ""},
    };
    const QString autoBackups = backups.autoBackupDirectory();
    for (const Case& c : cases) {
        defaults.set("ftpPort", 2121);
        defaults.set("autoImportRootPath", "/home/me/照片");
        write(path(), "{" + c.root + R"("data":{)" + c.data + "}}");
        const QByteArray settingsBefore = readAll(defaults.filePath());
        const QStringList backupsBefore = QDir(autoBackups).entryList(QDir::Files);
        BackupManager::ImportResult result;
        {
            std::optional<SaveFaults::Fail> fail;
            if (c.copyFails)
                fail.emplace(Paths::SaveStep::Write, 1, ENOSPC);
            result = backups.importBackup(path());
        }
        EXPECT_EQ(result.success, c.refusal.isEmpty()) << c.what;
        if (c.refusal.isEmpty()) {
            EXPECT_NE(readAll(defaults.filePath()), settingsBefore) << c.what;
            continue;
        }
        EXPECT_EQ(result.message, c.refusal) << c.what;
        EXPECT_EQ(backups.readBackup(path()).error, c.copyFails ? QString() : c.refusal) << c.what;
        EXPECT_EQ(readAll(defaults.filePath()), settingsBefore) << c.what;
        EXPECT_EQ(defaults.integer("ftpPort"), 2121) << c.what;
        EXPECT_EQ(QDir(autoBackups).entryList(QDir::Files), backupsBefore) << c.what;
    }
    // The last case went in as written.
    EXPECT_EQ(defaults.integer("ftpPort"), 21);
    EXPECT_FALSE(defaults.boolean("weekStartsOnMonday"));
    EXPECT_EQ(defaults.string("autoImportRootPath"), "/media/卡");
}

// The export writes each value in the kind the import takes, whatever form
// the store holds it in, so every file it writes imports again.
TEST_F(BackupManagerTest, TheExportWritesEachValueInTheKindTheImportTakes)
{
    struct Case {
        const char* key;
        QVariant stored;
        QJsonValue written;   // undefined: left out of the file
        QVariant restored;
    };
    const QList<Case> cases{
        {"ftpPort", "21a", QJsonValue("21a"), "21a"},
        {"ftpPort", "", QJsonValue(""), ""},
        {"ftpPort", 2121, QJsonValue("2121"), "2121"},
        {"weekStartsOnMonday", 1, QJsonValue(true), true},
        {"scheduleMaxOrdersPerDay", 7.0, QJsonValue(7), qint64(7)},
        {"quickShootLocations", QStringList{"公园"}, QJsonArray{"公园"}, QVariantList{"公园"}},
        {"appIconStyle", 12, QJsonValue(QJsonValue::Undefined), QVariant()},
        {"autoImportVolume", "loud", QJsonValue(QJsonValue::Undefined), QVariant()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + c.stored.toString().toStdString());
        for (const QString& key : defaults.dictionaryRepresentation().keys())
            defaults.remove(key);
        ASSERT_TRUE(defaults.set(c.key, c.stored));
        ASSERT_TRUE(backups.exportBackup(path(), false, false, false, false));
        EXPECT_EQ(QJsonDocument::fromJson(readAll(path())).object()["data"].toObject().value(c.key), c.written);
        defaults.remove(c.key);
        const BackupManager::ImportResult result = backups.importBackup(path());
        ASSERT_TRUE(result.success) << result.message.toStdString();
        EXPECT_EQ(defaults.hasStoredValue(c.key), c.restored.isValid());
        if (c.restored.isValid()) {
            EXPECT_EQ(defaults.object(c.key), c.restored);
            EXPECT_EQ(defaults.object(c.key).typeId(), c.restored.typeId());
        }
    }
}

TEST_F(BackupManagerTest, RestoreBringsBackTheStoresAtOnceInOneWrite)
{
    OrderManager& orders = OrderManager::shared();
    PackageManager& packages = PackageManager::shared();
    const QDateTime shoot(QDate(2026, 5, 1), QTime(10, 0));
    ASSERT_TRUE(orders.addOrder(Order("张三", "13800000000", "儿童写真", shoot, shoot, ShootTimeSlot::morning, 1000, 300,
                                      {PaymentRecord(300, shoot, "定金")}, "", OrderStatus::pendingShoot, true,
                                      QString("提前1天"), "公园", false)));
    orders.toggleRestDay(QDate(2026, 5, 2));
    ASSERT_TRUE(packages.addPackage("自定义", 999, 100));
    defaults.set("scheduleReminderRules", kRules.toUtf8());
    defaults.set("weekStartsOnMonday", true);
    const QList<Order> savedOrders = orders.orders();
    const QList<RestDay> savedDays = orders.restDays();
    const QList<Package> savedPackages = packages.packages();
    ASSERT_TRUE(backups.exportBackup(path(), false, false, false, false));
    const QByteArray exported = readAll(path());

    // The stored lists as the export writes them (base64 text), and written
    // out as JSON arrays, which the reader takes as well.
    for (const bool asArrays : {false, true}) {
        SCOPED_TRACE(asArrays ? "lists as JSON arrays" : "as exported");
        write(path(), asArrays ? withListsAsArrays(exported) : exported);
        for (const QString& key : defaults.dictionaryRepresentation().keys())
            defaults.remove(key);
        ASSERT_TRUE(orders.setOrders({}));
        ASSERT_TRUE(orders.setRestDays({}));

        // At the first change the file must already hold everything.
        QByteArray onDiskAtFirstChange;
        QObject watcher; // ends the watch with this round
        QObject::connect(&defaults, &UserDefaults::changed, &watcher, [&] {
            if (onDiskAtFirstChange.isEmpty())
                onDiskAtFirstChange = readAll(defaults.filePath());
        });
        const BackupManager::ImportResult result = backups.importBackup(path());
        EXPECT_TRUE(result.success) << result.message.toStdString();
        EXPECT_TRUE(onDiskAtFirstChange.contains("weekStartsOnMonday") && onDiskAtFirstChange.contains("schedulePackages"));
        EXPECT_EQ(orders.orders(), savedOrders);
        EXPECT_EQ(orders.restDays(), savedDays);
        EXPECT_EQ(packages.packages(), savedPackages);
        EXPECT_EQ(OrderCodec::decodeReminderRules(defaults.data("scheduleReminderRules").value_or("")),
                  OrderCodec::decodeReminderRules(kRules.toUtf8()));
        if (!asArrays)
            EXPECT_EQ(defaults.data("scheduleReminderRules"), kRules.toUtf8());
        EXPECT_TRUE(defaults.boolean("weekStartsOnMonday"));
    }
}

TEST_F(BackupManagerTest, DamagedFilesNeverCrashOrHalfRestore)
{
    fillEveryKey();
    ASSERT_TRUE(backups.exportBackup(path("good.kvbak"), true, true, true, true));
    const QByteArray good = readAll(path("good.kvbak"));
    ASSERT_TRUE(backups.importBackup(path("good.kvbak")).success) << "every value of its kind";
    const QByteArray before = readAll(defaults.filePath());
    QRandomGenerator rng(1206);
    for (int i = 0; i < 300; ++i) {
        QByteArray bytes = good.left(rng.bounded(good.size()));
        for (int k = rng.bounded(4); k > 0 && !bytes.isEmpty(); --k)
            bytes[rng.bounded(bytes.size())] = char(rng.bounded(256));
        write(path(), bytes);
        const BackupManager::ImportResult result = backups.importBackup(path());
        if (!result.success)
            ASSERT_EQ(readAll(defaults.filePath()), before) << i;
    }
}
