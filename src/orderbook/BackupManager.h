#pragma once

#include <QObject>
#include <QStringList>
#include <QVariant>

// The process-wide backup manager. At quit it writes an automatic backup of
// the order book and the settings when "autoBackupEnabled" is on, keeping the
// newest five in the folder "AutoBackups" of the data folder.
class BackupManager : public QObject
{
    Q_OBJECT
public:
    static BackupManager& shared();

    // Runs to its end on the caller's thread; failures are logged only.
    void performAutoBackupIfEnabled();

    QString autoBackupDirectory() const;

private:
    BackupManager();

    QString dataDirectory() const;
    bool exportBackup(const QString& filePath, const QStringList& keys);
    void cleanupOldAutoBackups(int keep);
    static QVariant serializeValue(const QVariant& value);

    const QStringList m_coreDataKeys;
    const QStringList m_preferenceKeys;
};
