#pragma once

#include <QDateTime>
#include <QFileInfo>
#include <QObject>
#include <QStringList>
#include <QVariant>

#include <optional>

// The process-wide backup manager: manual export of the order book and the
// settings into one JSON file, the automatic backup at quit (newest five kept
// in "AutoBackups" of the data folder), and the import of such a file, which
// first keeps the data it replaces beside the automatic backups.
// Main thread only.
class BackupManager : public QObject
{
    Q_OBJECT
public:
    static BackupManager& shared();

    struct ImportResult {
        bool success = false;
        // Shown to the user after the screen's own prefix; a failure gives its
        // cause alone, since the screen and the log line already say it failed.
        QString message;
    };

    // What a backup file holds, read without restoring anything.
    struct Contents {
        QVariantMap values;  // the keys an import would restore
        QString error;       // the cause when the file cannot be imported
        QString version;
        int orderCount() const;
    };
    struct AutoBackup {
        QString path;
        QDateTime moment;
        int orderCount = 0;
    };

    // While alive, changes of the stored orders are the app's own (calendar
    // import, event identifiers written back), not the user's.
    class AutomaticOrderChange
    {
    public:
        AutomaticOrderChange() { ++BackupManager::shared().m_automaticOrderChanges; }
        ~AutomaticOrderChange() { --BackupManager::shared().m_automaticOrderChanges; }
        AutomaticOrderChange(const AutomaticOrderChange&) = delete;
        AutomaticOrderChange& operator=(const AutomaticOrderChange&) = delete;
    };

    // Runs to its end on the caller's thread; failures are logged only.
    // Held back after a launch that had to set the settings file aside, until
    // a backup is restored or the user changes an order: quits with empty
    // data must not rotate the last good backups away.
    void performAutoBackupIfEnabled();
    bool isAutoBackupHeld() const;

    // The core keys, plus the groups the user ticked, each value in the kind
    // the import takes for its key; a value of another kind (only a settings
    // file edited by hand holds one) is left out with a log line. False (and
    // one log line) when the file could not be written; `error` then names
    // the cause.
    bool exportBackup(const QString& filePath, bool includeViewPreferences, bool includeCustomStatsTemplates,
                      bool includeRecycleBin, bool includePrintTemplates, QString* error = nullptr);

    // Restores the keys a backup may hold, all in one write, then reloads
    // the order and package stores. Nothing is written unless every stored
    // list in the file decodes, every known key holds the kind the export
    // writes for it, and the file is not another app's.
    // Before anything is restored, the current data is written to a backup
    // of its own name in the automatic backups' folder, which their
    // retention never counts; the success message names it.
    ImportResult importBackup(const QString& filePath);
    Contents readBackup(const QString& filePath) const;
    // The newest automatic backup that holds at least one order.
    std::optional<AutoBackup> newestAutoBackupWithOrders() const;

    QString autoBackupDirectory() const;
    // Every key a backup may carry: the core ones, then the optional groups.
    QStringList backupKeys() const { return m_coreDataKeys + m_preferenceKeys; }

    // Files larger than this are refused before they are read.
    static constexpr qint64 maxImportBytes = 64 * 1024 * 1024;

private:
    BackupManager();

    QString dataDirectory() const;
    void releaseAutoBackupHold();
    bool exportBackup(const QString& filePath, const QStringList& keys, QString* error = nullptr);
    void cleanupOldAutoBackups(int keep, const QString& justWritten);
    QList<std::pair<QDateTime, QFileInfo>> autoBackupsNewestFirst(const QString& except = {}) const;
    static QVariant serializeValue(const QVariant& value);
    // What the calendar needs to follow a restore: the events and orders of
    // the book about to be replaced.
    static QVariantMap calendarFollowUp();

    const QStringList m_coreDataKeys;
    const QStringList m_preferenceKeys;
    int m_automaticOrderChanges = 0;
    // Set-asides of the settings file that a restore or an order change has
    // answered; one more holds the backup again.
    int m_answeredSetAsides = 0;
};
