#include "FtpUpload.h"

#include "platform/FileNaming.h"
#include "platform/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QMutex>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kPrefix = QStringLiteral(".tessary-ftp-");
const QString kSuffix = QStringLiteral(".part");
constexpr int kRandomDigits = 16;

// Final paths being received right now, across every session and server of
// this process: a second upload of the same name is refused at once instead
// of after all its bytes.
std::atomic<int> g_inProgress{0};

QMutex g_reservedMutex;
QSet<QString> g_reserved;

bool reserve(const QString& path)
{
    QMutexLocker lock(&g_reservedMutex);
    if (g_reserved.contains(path))
        return false;
    g_reserved.insert(path);
    return true;
}

void unreserve(const QString& path)
{
    QMutexLocker lock(&g_reservedMutex);
    g_reserved.remove(path);
}

QByteArray native(const QString& path) { return QFile::encodeName(path); }

int openRetrying(const QByteArray& path, int flags, mode_t mode = 0)
{
    int fd;
    do {
        fd = ::open(path.constData(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

void syncFolder(const QString& folder)
{
    // The new name must survive a power loss as the bytes do. Filesystems
    // that cannot sync a folder say so with EINVAL; nothing more to do then.
    const int fd = openRetrying(native(folder), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}

std::unique_ptr<FtpUpload> FtpUpload::create(const QString& folder, const QString& name, int* error)
{
    auto fail = [error](int e) {
        if (error)
            *error = e;
        return nullptr;
    };
    const QDir dir(folder);
    const QString path = dir.filePath(name);
    struct stat st;
    if (::lstat(native(path).constData(), &st) == 0)
        return fail(EEXIST);
    if (!reserve(path))
        return fail(EEXIST);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString temporary = dir.filePath(
            kPrefix + QString::number(QRandomGenerator::global()->generate64(), 16).rightJustified(kRandomDigits, u'0')
            + kSuffix);
        const int fd = openRetrying(native(temporary), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            const int e = errno;
            unreserve(path);
            return fail(e);
        }
        // Held until the file is named or removed: the start-up clean-up of
        // another server on this folder leaves a held file alone.
        FileNaming::hold(fd);
        if (error)
            *error = 0;
        return std::unique_ptr<FtpUpload>(new FtpUpload(fd, temporary, path));
    }
    unreserve(path);
    return fail(EEXIST);
}

FtpUpload::FtpUpload(int fd, QString temporaryPath, QString path)
    : m_fd(fd)
    , m_temporaryPath(std::move(temporaryPath))
    , m_path(std::move(path))
{
    ++g_inProgress;
}

FtpUpload::~FtpUpload()
{
    discard();
    release();
    --g_inProgress;
}

int FtpUpload::inProgress()
{
    return g_inProgress;
}

void FtpUpload::release()
{
    if (std::exchange(m_reserved, false))
        unreserve(m_path);
}

bool FtpUpload::write(const char* data, qsizetype size)
{
    if (m_fd < 0)
        return false;
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = errno;
            return false;
        }
        data += n;
        size -= n;
        m_written += n;
    }
    // The disk writes while the network still delivers, so the sync before
    // "226" finds little left to do.
    if (m_written - m_writebackFrom >= kWritebackChunk) {
        ::sync_file_range(m_fd, m_writebackFrom, m_written - m_writebackFrom, SYNC_FILE_RANGE_WRITE);
        m_writebackFrom = m_written;
    }
    return true;
}

bool FtpUpload::commit()
{
    if (m_fd < 0)
        return false;
    // A delayed write error (a full disk, a network folder, a quota) shows up
    // only in the sync or the close.
    int e = ::fsync(m_fd) == 0 ? 0 : errno;
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0 && errno != EINTR && e == 0)
        e = errno;
    if (e == 0)
        e = FileNaming::renameNoReplace(native(m_temporaryPath), native(m_path));
    if (e != 0) {
        m_error = e;
        ::unlink(native(m_temporaryPath).constData());
        release();
        return false;
    }
    release();
    syncFolder(QFileInfo(m_path).absolutePath());
    return true;
}

void FtpUpload::discard()
{
    if (m_fd < 0)
        return;
    // Removed before the descriptor (and its lock) goes.
    ::unlink(native(m_temporaryPath).constData());
    ::close(std::exchange(m_fd, -1));
    release();
}

bool FtpUpload::isOutOfSpace(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

bool FtpUpload::isTemporaryName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^%1[0-9a-f]{%2}%3$")
                                                .arg(QRegularExpression::escape(kPrefix))
                                                .arg(kRandomDigits)
                                                .arg(QRegularExpression::escape(kSuffix)));
    return pattern.match(name).hasMatch();
}

int FtpUpload::removeLeftovers(const QString& folder)
{
    const int removed = FileNaming::removeUnheld(folder, &FtpUpload::isTemporaryName);
    if (removed > 0)
        Log::line(QStringLiteral("🧹 [FTP传输] 已清理 %1 个上传中断留下的临时文件").arg(removed));
    return removed;
}
