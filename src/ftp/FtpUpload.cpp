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
#include <mutex>
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

QMutex g_namesMutex;
// Final paths being received, and the temporary files they are received into:
// the sweep of leftovers never takes a file of a transfer still running, not
// even in the moments its lock is not yet (or no longer) held.
QSet<QString> g_reserved;
QSet<QString> g_temporaries;

bool claim(QSet<QString>& names, const QString& path)
{
    QMutexLocker lock(&g_namesMutex);
    if (names.contains(path))
        return false;
    names.insert(path);
    return true;
}

void unclaim(QSet<QString>& names, const QString& path)
{
    QMutexLocker lock(&g_namesMutex);
    names.remove(path);
}

bool isClaimed(const QSet<QString>& names, const QString& path)
{
    QMutexLocker lock(&g_namesMutex);
    return names.contains(path);
}

std::mutex g_hookMutex;
std::shared_ptr<Paths::SaveHook> g_hook;

int fault(Paths::SaveStep step, qsizetype bytes = 0)
{
    std::shared_ptr<Paths::SaveHook> hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_hook;
    }
    return hook ? (*hook)(step, bytes) : 0;
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
    if (!claim(g_reserved, path))
        return fail(EEXIST);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString temporary = dir.filePath(
            kPrefix + QString::number(QRandomGenerator::global()->generate64(), 16).rightJustified(kRandomDigits, u'0')
            + kSuffix);
        if (!claim(g_temporaries, temporary))
            continue;
        // Held from before it shows in the folder until it is named or removed:
        // a start-up clean-up of another server on this folder leaves it alone.
        const int fd = FileNaming::createHeld(native(temporary), 0644);
        if (fd < 0) {
            const int e = errno;
            unclaim(g_temporaries, temporary);
            if (e == EEXIST)
                continue;
            unclaim(g_reserved, path);
            return fail(e);
        }
        if (error)
            *error = 0;
        return std::unique_ptr<FtpUpload>(new FtpUpload(fd, temporary, path));
    }
    unclaim(g_reserved, path);
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
    if (std::exchange(m_reserved, false)) {
        unclaim(g_reserved, m_path);
        unclaim(g_temporaries, m_temporaryPath);
    }
}

bool FtpUpload::write(const char* data, qsizetype size)
{
    if (m_fd < 0)
        return false;
    if (const int e = fault(Paths::SaveStep::Write, size)) {
        m_error = e;
        return false;
    }
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

bool FtpUpload::sync()
{
    if (m_synced)
        return true;
    if (m_fd < 0)
        return false;
    // A delayed write error (a full disk, a network folder, a quota) shows up
    // only here; a short file must never take the name.
    int e = fault(Paths::SaveStep::Sync);
    if (e == 0 && ::fsync(m_fd) != 0)
        e = errno;
    if (e != 0) {
        m_error = e;
        discard();
        return false;
    }
    m_synced = true;
    return true;
}

bool FtpUpload::commit()
{
    if (!sync())
        return false;
    // The descriptor, and with it the lock, is kept until the file has its
    // name: a sweep never finds it unheld.
    int e = fault(Paths::SaveStep::Rename);
    if (e == 0)
        e = FileNaming::renameNoReplace(native(m_temporaryPath), native(m_path));
    if (e != 0) {
        m_error = e;
        discard();
        return false;
    }
    m_named = true;
    syncFolder(QFileInfo(m_path).absolutePath());
    return true;
}

void FtpUpload::keep()
{
    if (!std::exchange(m_named, false))
        return;
    ::close(std::exchange(m_fd, -1));
    release();
}

bool FtpUpload::takeBack()
{
    if (!std::exchange(m_named, false))
        return false;
    // Only this upload's own file goes, never one put there since.
    struct stat ours;
    struct stat named;
    const bool same = ::fstat(m_fd, &ours) == 0 && ::lstat(native(m_path).constData(), &named) == 0
                      && ours.st_dev == named.st_dev && ours.st_ino == named.st_ino;
    if (same)
        ::unlink(native(m_path).constData());
    ::close(std::exchange(m_fd, -1));
    release();
    if (same)
        syncFolder(QFileInfo(m_path).absolutePath());
    return same;
}

void FtpUpload::discard()
{
    if (m_named) {
        keep();
        return;
    }
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
    const QDir dir(folder);
    const int removed = FileNaming::removeUnheld(folder, [&dir](const QString& name) {
        return isTemporaryName(name) && !isClaimed(g_temporaries, dir.filePath(name));
    });
    if (removed > 0)
        Log::line(QStringLiteral("🧹 [FTP传输] 已清理 %1 个上传中断留下的临时文件").arg(removed));
    return removed;
}

void FtpUpload::setFaultHook(Paths::SaveHook hook)
{
    std::lock_guard lock(g_hookMutex);
    g_hook = hook ? std::make_shared<Paths::SaveHook>(std::move(hook)) : nullptr;
}
