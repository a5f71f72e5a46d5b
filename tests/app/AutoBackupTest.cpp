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

TEST(AutoBackupTest, NothingIsWrittenWhenSwitchedOff)
{
    UserDefaults::standard().set("autoBackupEnabled", false);
    BackupManager::shared().performAutoBackupIfEnabled();
    EXPECT_TRUE(backupFiles().isEmpty());
}

TEST(AutoBackupTest, ANeverWrittenSwitchCountsAsOn)
{
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
    // Seven older entries, oldest first; a stray file and a folder count too.
    const QStringList older{"auto_backup_a.kvbak", "notes.txt", "sub", "auto_backup_b.kvbak",
                            "auto_backup_c.kvbak", "auto_backup_d.kvbak", "auto_backup_e.kvbak"};
    for (const QString& name : older) {
        if (name == "sub") {
            QDir(backupDir()).mkpath("sub/inner");
        } else {
            QFile f(backupDir() + "/" + name);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        QTest::qWait(20); // distinct creation times
    }
    QFile hidden(backupDir() + "/.keep");
    ASSERT_TRUE(hidden.open(QIODevice::WriteOnly));
    hidden.close();

    BackupManager::shared().performAutoBackupIfEnabled();
    QStringList left = QDir(backupDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    ASSERT_EQ(left.size(), 5) << left.join(",").toStdString();
    EXPECT_TRUE(left.contains("auto_backup_b.kvbak"));
    EXPECT_TRUE(left.contains("auto_backup_e.kvbak"));
    EXPECT_FALSE(left.contains("auto_backup_a.kvbak"));
    EXPECT_FALSE(left.contains("notes.txt"));
    EXPECT_FALSE(left.contains("sub"));
    EXPECT_TRUE(QFile::exists(backupDir() + "/.keep")); // hidden entries are not counted
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
