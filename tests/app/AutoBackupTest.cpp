#include "orderbook/BackupManager.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>

namespace {
QString backupDir() { return Paths::dataDir() + "/AutoBackups"; }

QStringList backupFiles() { return QDir(backupDir()).entryList(QDir::Files, QDir::Name); }

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}

TEST(AutoBackupTest, ANeverWrittenSwitchCountsAsOnAndOffWritesNothing)
{
    BackupManager::shared().performAutoBackupIfEnabled();
    EXPECT_EQ(backupFiles().size(), 1);
    UserDefaults::standard().set("autoBackupEnabled", false);
    BackupManager::shared().performAutoBackupIfEnabled();
    EXPECT_EQ(backupFiles().size(), 1);
}

TEST(AutoBackupTest, WritesThePrettyBackupFormatWithTheListedKeysOnly)
{
    UserDefaults& d = UserDefaults::standard();
    d.set("autoBackupEnabled", true);
    d.set("schedule_orders_v1", QByteArray("[{\"a\":1}]"));
    d.set("scheduleMaxOrdersPerDay", 7);
    d.set("defaultLaunchPage", "档期收入");
    d.set("ftpAllowVideo", true);
    const QDateTime when = QDateTime::fromSecsSinceEpoch(1700000000);
    d.set("scheduleRecycleBin", QVariantList{QVariantMap{{"at", when}, {"url", QUrl("https://a.example/x y")}}});
    d.set("autoImportRootPath", "/not/listed"); // not a backup key

    const double before = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    BackupManager::shared().performAutoBackupIfEnabled();
    const QStringList files = backupFiles();
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(QRegularExpression("^auto_backup_\\d{8}_\\d{6}\\.kvbak$").match(files.first()).hasMatch())
        << files.first().toStdString();

    const QByteArray bytes = readFile(backupDir() + "/" + files.first());
    EXPECT_TRUE(bytes.contains("\n    \"appName\": \"Kelvara\"")) << bytes.toStdString(); // indented
    const QJsonObject root = QJsonDocument::fromJson(bytes).object();
    EXPECT_EQ(root.keys(), QStringList({"appName", "data", "exportDate", "version"}));
    EXPECT_EQ(root["version"].toString(), "3.2");
    EXPECT_TRUE(root["exportDate"].isDouble());
    EXPECT_GE(root["exportDate"].toDouble(), before - 1);

    const QJsonObject data = root["data"].toObject();
    EXPECT_EQ(data.keys(), QStringList({"defaultLaunchPage", "ftpAllowVideo", "scheduleMaxOrdersPerDay",
                                        "scheduleRecycleBin", "schedule_orders_v1"}));
    EXPECT_EQ(data["schedule_orders_v1"].toString(), QString::fromLatin1(QByteArray("[{\"a\":1}]").toBase64()));
    EXPECT_EQ(data["scheduleMaxOrdersPerDay"].toInt(), 7);
    EXPECT_EQ(data["ftpAllowVideo"].toBool(), true);
    const QJsonObject nested = data["scheduleRecycleBin"].toArray().at(0).toObject();
    EXPECT_DOUBLE_EQ(nested["at"].toDouble(), 1700000000.0);
    EXPECT_EQ(nested["url"].toString(), "https://a.example/x%20y");
}

TEST(AutoBackupTest, KeepsTheNewestFiveWhateverTheirNames)
{
    UserDefaults::standard().set("autoBackupEnabled", true);
    QDir().mkpath(backupDir());
    // Seven older entries, oldest first; a stray file and a folder count too,
    // hidden entries do not.
    for (const QString& name : {"old_a.kvbak", "notes.txt", "sub/", "old_b.kvbak", "old_c.kvbak", "old_d.kvbak",
                                "old_e.kvbak", ".keep"}) {
        if (name.endsWith('/'))
            QDir(backupDir()).mkpath(name + "inner");
        else
            ASSERT_TRUE(QFile(backupDir() + "/" + name).open(QIODevice::WriteOnly));
        QTest::qWait(20); // distinct creation times
    }
    BackupManager::shared().performAutoBackupIfEnabled();
    const QStringList left =
        QDir(backupDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(left, QStringList({".keep", left.value(1), "old_b.kvbak", "old_c.kvbak", "old_d.kvbak", "old_e.kvbak"}));
    EXPECT_TRUE(left.value(1).startsWith("auto_backup_"));
}

TEST(AutoBackupTest, AFailedWriteDeletesNothing)
{
    UserDefaults::standard().set("autoBackupEnabled", true);
    QDir().mkpath(backupDir());
    QDir dir(backupDir());
    for (int i = 0; i < 6; ++i) {
        QFile f(backupDir() + QString("/old_%1").arg(i));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // Folders in the way of the names of the next seconds make the write fail,
    // whatever the rights the test runs with.
    const QDateTime now = QDateTime::currentDateTime();
    for (int s = 0; s < 3; ++s)
        dir.mkpath("auto_backup_" + now.addSecs(s).toString("yyyyMMdd_HHmmss") + ".kvbak");
    BackupManager::shared().performAutoBackupIfEnabled();
    EXPECT_EQ(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 9);
}
