#include "BackupManager.h"

#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>

BackupManager& BackupManager::shared()
{
    static BackupManager* instance = new BackupManager;
    return *instance;
}

BackupManager::BackupManager()
    : m_coreDataKeys{"schedule_orders_v1", "schedule_restdays_v1", "schedulePackages",
                     "scheduleMaxOrdersPerDay", "scheduleSyncCalendarDefault", "scheduleReminderDefault",
                     "packageDepositMigratedTo300", "ftpAllowVideo", "ftpPort", "ftpUsername", "ftpPassword",
                     "ftpRootDirectory", "ftpAnonymousAccess", "defaultLaunchPage", "autoImportEnabled",
                     "autoImportVolume", "autoImportPlaySound", "autoImportCreateDailyFolder",
                     "autoImportSavePath", "quickSplitSeparator", "scheduleViewMode", "scheduleStatsMode"}
    , m_preferenceKeys{"scheduleListColumnWidths", "scheduleListHiddenColumns", "scheduleListDefaultSort",
                       "scheduleListFilterPresets", "scheduleCustomStatsTemplates", "scheduleRecycleBin",
                       "schedulePrintTemplates"}
{
}

QString BackupManager::dataDirectory() const { return Paths::dataDir(); }

QString BackupManager::autoBackupDirectory() const
{
    const QString dir = dataDirectory() + QStringLiteral("/AutoBackups");
    QDir().mkpath(dir);
    return dir;
}

void BackupManager::performAutoBackupIfEnabled()
{
    // Never written means on: the settings switch shows it on, and a user who
    // sees backups on must get them.
    const QVariant enabled = UserDefaults::standard().object(QStringLiteral("autoBackupEnabled"));
    if (enabled.isValid() && !UserDefaults::toBool(enabled))
        return;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    const QString path = autoBackupDirectory() + QStringLiteral("/auto_backup_") + stamp + QStringLiteral(".kvbak");
    if (exportBackup(path, m_coreDataKeys + m_preferenceKeys))
        cleanupOldAutoBackups(5);
}

bool BackupManager::exportBackup(const QString& filePath, const QStringList& keys)
{
    QJsonObject data;
    const UserDefaults& defaults = UserDefaults::standard();
    for (const QString& key : keys) {
        const QVariant value = defaults.object(key);
        if (value.isValid())
            data.insert(key, QJsonValue::fromVariant(serializeValue(value)));
    }
    QJsonObject root;
    root.insert(QStringLiteral("version"), QStringLiteral("3.2"));
    root.insert(QStringLiteral("exportDate"), QDateTime::currentMSecsSinceEpoch() / 1000.0);
    root.insert(QStringLiteral("appName"), QStringLiteral("Kelvara"));
    root.insert(QStringLiteral("data"), data);
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);

    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        Log::line(QStringLiteral("💾 备份导出失败: ") + file.errorString());
        return false;
    }
    Paths::syncDirectory(QFileInfo(filePath).absolutePath());
    Log::line(QStringLiteral("💾 备份导出成功: ") + filePath + QStringLiteral(", 大小: ")
              + QString::number(bytes.size()) + QStringLiteral(" 字节"));
    return true;
}

void BackupManager::cleanupOldAutoBackups(int keep)
{
    const QDir dir(autoBackupDirectory());
    if (!dir.exists())
        return;
    // Every entry but hidden ones counts, whatever its kind (dangling links included).
    QFileInfoList entries = dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    // Not every Linux file system records a creation time; the last change
    // then stands in for it, so the newest backup is never the one removed.
    auto created = [](const QFileInfo& info) {
        const QDateTime birth = info.birthTime();
        return birth.isValid() ? birth : info.lastModified();
    };
    std::stable_sort(entries.begin(), entries.end(), [&](const QFileInfo& a, const QFileInfo& b) {
        const QDateTime da = created(a), db = created(b);
        if (!db.isValid())
            return da.isValid();
        return da.isValid() && da > db;
    });
    for (int i = keep; i < entries.size(); ++i) {
        const QFileInfo& info = entries.at(i);
        if (info.isDir() && !info.isSymLink())
            QDir(info.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(info.absoluteFilePath());
    }
}

QVariant BackupManager::serializeValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return value;
    case QMetaType::QDateTime:
        return value.toDateTime().toMSecsSinceEpoch() / 1000.0;
    case QMetaType::QByteArray:
        return QString::fromLatin1(value.toByteArray().toBase64());
    case QMetaType::QUrl:
        return value.toUrl().toString(QUrl::FullyEncoded);
    case QMetaType::QVariantList: {
        QVariantList out;
        for (const QVariant& v : value.toList())
            out.append(serializeValue(v));
        return out;
    }
    case QMetaType::QVariantMap: {
        QVariantMap out;
        const QVariantMap in = value.toMap();
        for (auto it = in.begin(); it != in.end(); ++it)
            out.insert(it.key(), serializeValue(it.value()));
        return out;
    }
    default:
        return value.toString();
    }
}
