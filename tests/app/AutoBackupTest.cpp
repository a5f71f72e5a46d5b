#include "app/AppPreferences.h"
#include "orderbook/BackupManager.h"
#include "platform/Paths.h"
#include "platform/Preferences.h"
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

#include <sys/stat.h>

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
    d.set("scheduleFirstTimeGuideShown", true); // not a backup key

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
    EXPECT_EQ(data.keys(), QStringList({"autoBackupEnabled", "defaultLaunchPage", "ftpAllowVideo", "scheduleMaxOrdersPerDay",
                                        "scheduleRecycleBin", "schedule_orders_v1"}));
    EXPECT_EQ(data["schedule_orders_v1"].toString(), QString::fromLatin1(QByteArray("[{\"a\":1}]").toBase64()));
    EXPECT_EQ(data["scheduleMaxOrdersPerDay"].toInt(), 7);
    EXPECT_EQ(data["ftpAllowVideo"].toBool(), true);
    const QJsonObject nested = data["scheduleRecycleBin"].toArray().at(0).toObject();
    EXPECT_DOUBLE_EQ(nested["at"].toDouble(), 1700000000.0);
    EXPECT_EQ(nested["url"].toString(), "https://a.example/x%20y");
}

TEST(AutoBackupTest, KeepsTheNewestFiveOwnBackupsAndNothingElse)
{
    UserDefaults::standard().set("autoBackupEnabled", true);
    QDir dir(backupDir());
    dir.mkpath(".");
    // Written newest stamp first, so file times disagree with the names; six
    // are stamped after today (a clock that was wrong) and still must not
    // push out the backup just written.
    const QStringList stamps = {"20990106", "20990105", "20990104", "20990103", "20990102", "20990101",
                                "20240102", "20240101"};
    for (const QString& day : stamps) {
        ASSERT_TRUE(QFile(backupDir() + "/auto_backup_" + day + "_120000.kvbak").open(QIODevice::WriteOnly));
        QTest::qWait(5);
    }
    ASSERT_TRUE(QFile(backupDir() + "/notes.txt").open(QIODevice::WriteOnly));
    dir.mkpath("auto_backup_20000101_000000.kvbak/inner");
    QFile::link(backupDir() + "/notes.txt", backupDir() + "/auto_backup_20000102_000000.kvbak");

    BackupManager::shared().performAutoBackupIfEnabled();
    QStringList left = dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    const QString written = left.filter(QRegularExpression("^auto_backup_20(?!99|00)\\d{6}_")).value(0);
    EXPECT_FALSE(written.isEmpty());
    left.removeAll(written);
    EXPECT_EQ(left, QStringList({"auto_backup_20000101_000000.kvbak", "auto_backup_20000102_000000.kvbak",
                                 "auto_backup_20990103_120000.kvbak", "auto_backup_20990104_120000.kvbak",
                                 "auto_backup_20990105_120000.kvbak", "auto_backup_20990106_120000.kvbak",
                                 "notes.txt"}));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(backupDir()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(QFile::encodeName(backupDir() + "/" + written).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
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

TEST(AutoBackupTest, EveryKeyABackupNamesIsAKeySomeFolderDefines)
{
    AppPreferences::registerAll();
    for (const QString& key : BackupManager::shared().backupKeys())
        EXPECT_TRUE(Preferences::isDefined(key)) << key.toStdString();
}
