#include "TimeZoneWatcher.h"

#include "LocalTimeConverter.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <ctime>

TimeZoneWatcher& TimeZoneWatcher::shared()
{
    static TimeZoneWatcher* instance = new TimeZoneWatcher(QStringLiteral("/etc/localtime"));
    return *instance;
}

TimeZoneWatcher::TimeZoneWatcher(const QString& zoneFile, QObject* parent)
    : QObject(parent)
    , m_zoneFile(zoneFile)
{
    m_fingerprint = fingerprint();
    // Zone tools replace the file (or its link) in a few steps: look once
    // they are done.
    m_settle.setSingleShot(true);
    m_settle.setInterval(200);
    connect(&m_settle, &QTimer::timeout, this, &TimeZoneWatcher::check);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_settle, qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
    m_midnight.setSingleShot(true);
    m_midnight.setTimerType(Qt::CoarseTimer);
    connect(&m_midnight, &QTimer::timeout, this, [this] {
        check();
        armMidnight();
    });
    watch();
    armMidnight();
}

QByteArray TimeZoneWatcher::fingerprint() const
{
    QByteArray out = qEnvironmentVariableIsSet("TZ") ? "TZ=" + qgetenv("TZ") : QByteArray("-");
    out += '\n' + QFileInfo(m_zoneFile).symLinkTarget().toUtf8() + '\n';
    QFile file(m_zoneFile);
    if (file.open(QIODevice::ReadOnly))
        out += QCryptographicHash::hash(file.read(1 << 20), QCryptographicHash::Sha1).toHex();
    return out;
}

bool TimeZoneWatcher::check()
{
    // The C library reads the zone again only when asked; Qt's local times
    // follow it.
    tzset();
    watch();
    const QByteArray now = fingerprint();
    if (now == m_fingerprint)
        return false;
    m_fingerprint = now;
    LocalTimeConverter::refresh();
    Q_EMIT timeZoneChanged();
    armMidnight();
    return true;
}

void TimeZoneWatcher::watch()
{
    // The folder too: replacing a link is seen only there.
    const QString folder = QFileInfo(m_zoneFile).absolutePath();
    if (!m_watcher.directories().contains(folder) && QFileInfo::exists(folder))
        m_watcher.addPath(folder);
    if (!m_watcher.files().contains(m_zoneFile) && QFileInfo::exists(m_zoneFile))
        m_watcher.addPath(m_zoneFile);
}

void TimeZoneWatcher::armMidnight()
{
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 ms = now.msecsTo(now.date().addDays(1).startOfDay()) + 1000;
    m_midnight.start(int(std::clamp<qint64>(ms, 1000, qint64(25) * 3600 * 1000)));
}
