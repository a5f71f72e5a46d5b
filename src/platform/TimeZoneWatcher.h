#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// Tells when the time zone this process sees changes while it runs (travel,
// an automatic zone): the zone file replaced or edited, the TZ environment
// changed. The file is watched; the environment cannot be, so it is looked
// at again at every local midnight and whenever `check` is called (the app
// does so when its window is activated).
class TimeZoneWatcher : public QObject
{
    Q_OBJECT
public:
    // Made on first use over "/etc/localtime", kept for the process.
    static TimeZoneWatcher& shared();

    explicit TimeZoneWatcher(const QString& zoneFile, QObject* parent = nullptr);

    // Looks now; true (and `timeZoneChanged`) when the zone differs from the
    // last look.
    bool check();

Q_SIGNALS:
    void timeZoneChanged();

private:
    QByteArray fingerprint() const;
    void watch();
    void armMidnight();

    QString m_zoneFile;
    QByteArray m_fingerprint;
    QFileSystemWatcher m_watcher;
    QTimer m_midnight;
    QTimer m_settle;
};
