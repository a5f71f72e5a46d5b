#pragma once

#include <QObject>
#include <QStringList>
#include <QVariant>

// The process-wide backup manager: manual export of the order book and the
// settings into one JSON file, the automatic backup at quit (newest five kept
// in "AutoBackups" of the data folder), and the import of such a file.
// Main thread only.
class BackupManager : public QObject
{
    Q_OBJECT
public:
    static BackupManager& shared();

    struct ImportResult {
        bool success = false;
        QString message; // shown to the user as it is
    };

    // Runs to its end on the caller's thread; failures are logged only.
    void performAutoBackupIfEnabled();

    // The core keys, plus the groups the user ticked. False (and one log
    // line) when the file could not be written.
    bool exportBackup(const QString& filePath, bool includeViewPreferences, bool includeCustomStatsTemplates,
                      bool includeRecycleBin, bool includePrintTemplates);

    // Restores the keys a backup may hold, all in one write, then reloads
    // the order and package stores. Nothing is written unless every stored
    // list in the file decodes.
    ImportResult importBackup(const QString& filePath);

    QString autoBackupDirectory() const;
    // Every key a backup may carry: the core ones, then the optional groups.
    QStringList backupKeys() const { return m_coreDataKeys + m_preferenceKeys; }

    // Files larger than this are refused before they are read.
    static constexpr qint64 maxImportBytes = 64 * 1024 * 1024;

private:
    BackupManager();

    QString dataDirectory() const;
    bool exportBackup(const QString& filePath, const QStringList& keys);
    void cleanupOldAutoBackups(int keep, const QString& justWritten);
    static QVariant serializeValue(const QVariant& value);

    const QStringList m_coreDataKeys;
    const QStringList m_preferenceKeys;
};
