#include "CalendarSyncLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMutex>

#include <cerrno>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// One lock for every log object: two managers in one process (tests) may
// share the file.
QMutex& writeLock()
{
    static QMutex m;
    return m;
}

QString formattedNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + now.time().toString(QStringLiteral("HH:mm:ss"));
}

// A batch writes thousands of lines a second; the stamp is made once a second.
QString timestamp()
{
    thread_local qint64 second = -1;
    thread_local QString text;
    const qint64 now = QDateTime::currentMSecsSinceEpoch() / 1000;
    if (now != second) {
        text = formattedNow();
        second = now;
    }
    return text;
}
}

CalendarSyncLog::CalendarSyncLog(const QString& filePath)
    : m_path(filePath)
    , m_nativePath(QFile::encodeName(filePath))
{
}

CalendarSyncLog::~CalendarSyncLog()
{
    QMutexLocker lock(&writeLock());
    closeFile();
}

QString CalendarSyncLog::dateText(const QDateTime& moment)
{
    const QDateTime utc = moment.toUTC();
    const QDate day = utc.date();
    // A batch writes thousands of these; the general formatter is far slower.
    if (!utc.isValid() || day.year() < 0 || day.year() > 9999)
        return utc.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
    const QTime time = utc.time();
    char text[] = "0000-00-00 00:00:00 +0000";
    auto put = [&text](int at, int value, int digits) {
        for (int i = at + digits - 1; i >= at; --i, value /= 10)
            text[i] = char('0' + value % 10);
    };
    put(0, day.year(), 4);
    put(5, day.month(), 2);
    put(8, day.day(), 2);
    put(11, time.hour(), 2);
    put(14, time.minute(), 2);
    put(17, time.second(), 2);
    return QString::fromLatin1(text, sizeof text - 1);
}

void CalendarSyncLog::closeFile() const
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_inode = 0;
}

bool CalendarSyncLog::openFile() const
{
    closeFile();
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC;
    int fd = ::open(m_nativePath.constData(), flags, 0600);
    if (fd < 0 && errno == ENOENT) {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        fd = ::open(m_nativePath.constData(), flags, 0600);
    }
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    // A file made before the log was private keeps its old mode until now.
    if (st.st_mode & 0177)
        ::fchmod(fd, 0600);
    m_fd = fd;
    m_inode = st.st_ino;
    return true;
}

void CalendarSyncLog::append(const QString& message) const
{
    if (m_path.isEmpty())
        return;
    const QByteArray line = (QLatin1Char('[') + timestamp() + QStringLiteral("] ") + message + QLatin1Char('\n')).toUtf8();
    QMutexLocker lock(&writeLock());
    if (!m_holding) {
        writeLines({line});
        return;
    }
    m_held.append(line);
    m_heldBytes += line.size();
    // The file and the rotated one hold the newest lines only.
    while (m_heldBytes - m_held.first().size() >= 2 * kMaxBytes) {
        m_heldBytes -= m_held.first().size();
        m_held.removeFirst();
    }
}

void CalendarSyncLog::hold() const
{
    QMutexLocker lock(&writeLock());
    m_holding = true;
}

qint64 CalendarSyncLog::heldBytes() const
{
    QMutexLocker lock(&writeLock());
    return m_heldBytes;
}

void CalendarSyncLog::release() const
{
    QMutexLocker lock(&writeLock());
    m_holding = false;
    m_heldBytes = 0;
    const QList<QByteArray> lines = std::exchange(m_held, {});
    writeLines(lines);
}

void CalendarSyncLog::writeLines(const QList<QByteArray>& lines) const
{
    for (qsizetype next = 0; next < lines.size();) {
        // One look at the path per write: it tells the size for rotation and
        // whether someone removed or replaced the file under us.
        struct stat st;
        const bool exists = ::stat(m_nativePath.constData(), &st) == 0;
        qint64 size = exists ? qint64(st.st_size) : 0;
        if (exists && size + lines[next].size() > kMaxBytes) {
            closeFile();
            QFile::remove(rotatedPath());
            QFile::rename(m_path, rotatedPath());
            size = 0;
        } else if (m_fd >= 0 && (!exists || st.st_ino != m_inode)) {
            closeFile();
        }
        if (m_fd < 0 && !openFile())
            return;
        QByteArray chunk = lines[next];
        size += lines[next++].size();
        while (next < lines.size() && size + lines[next].size() <= kMaxBytes) {
            chunk += lines[next];
            size += lines[next++].size();
        }
        const char* data = chunk.constData();
        qsizetype left = chunk.size();
        while (left > 0) {
            const ssize_t n = ::write(m_fd, data, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                closeFile();
                return;
            }
            data += n;
            left -= n;
        }
    }
}
