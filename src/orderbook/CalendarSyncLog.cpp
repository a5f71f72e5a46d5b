#include "CalendarSyncLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMutex>

namespace {
// One lock for every log object: two managers in one process (tests) may
// share the file.
QMutex& writeLock()
{
    static QMutex m;
    return m;
}

constexpr QFileDevice::Permissions kPrivate = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QString timestamp()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + now.time().toString(QStringLiteral("HH:mm:ss"));
}
}

CalendarSyncLog::CalendarSyncLog(const QString& filePath)
    : m_path(filePath)
{
}

QString CalendarSyncLog::dateText(const QDateTime& moment)
{
    return moment.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

void CalendarSyncLog::append(const QString& message) const
{
    if (m_path.isEmpty())
        return;
    const QByteArray line = (QLatin1Char('[') + timestamp() + QStringLiteral("] ") + message + QLatin1Char('\n')).toUtf8();
    QMutexLocker lock(&writeLock());
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const QFileInfo info(m_path);
    if (info.exists() && info.size() + line.size() > kMaxBytes) {
        QFile::remove(rotatedPath());
        QFile::rename(m_path, rotatedPath());
    }
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append, kPrivate))
        return;
    // A file made before the log was private keeps its old mode until now.
    constexpr QFileDevice::Permissions kShared = QFileDevice::ExeOwner | QFileDevice::ReadGroup
        | QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther
        | QFileDevice::ExeOther;
    if (file.permissions() & kShared)
        file.setPermissions(kPrivate);
    file.write(line);
}
