#include "SafeFileTransfer.h"

#include "FolderWalk.h"
#include "platform/FileNaming.h"
#include "platform/Log.h"
#include "platform/Paths.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString errnoText(int error)
{
    return Paths::errorText(error);
}

// A refusal to read the card is not one to write the disk.
QString readErrorText(int error)
{
    return FolderWalk::errorText(error);
}

// Closes on scope exit unless released.
struct Fd
{
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int release()
    {
        const int f = fd;
        fd = -1;
        return f;
    }
};

bool writeAll(int fd, const char* data, ssize_t size, int* error)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// Starts writing a finished chunk to disk while the next one is copied, so
// the fsync before the rename has little left to wait for.
void startWriteback(int fd, qint64 offset, qint64 length)
{
    ::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE);
}

SafeFileTransfer::ReadHook& readHook()
{
    static SafeFileTransfer::ReadHook hook;
    return hook;
}

// After a block. A cancel is seen only while data remains: a file whose data
// is all written is kept.
bool blockDone(int out, qint64 n, qint64 size, qint64* copied, int* error, const SafeFileTransfer::Control& control)
{
    startWriteback(out, *copied, n);
    *copied += n;
    if (control.progress)
        control.progress(*copied);
    if (*copied < size && control.cancel && control.cancel->load()) {
        *error = ECANCELED;
        return false;
    }
    return true;
}

// Copies until end of file; the kernel path first, a bounded buffer when the
// file systems cannot do it in the kernel. `onRead` tells a failed read of
// the source from a failed write.
bool copyData(const QString& source, qint64 size, int in, int out, qint64* copied, int* error, bool* onRead,
              const SafeFileTransfer::Control& control)
{
    bool kernel = true;
    std::unique_ptr<char[]> buffer;
    for (;;) {
        if (readHook()) {
            if (const int hookError = readHook()(source, *copied, size)) {
                *error = hookError;
                *onRead = true;
                return false;
            }
        }
        if (kernel) {
            const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t(SafeFileTransfer::kBufferSize), 0);
            if (n > 0) {
                if (!blockDone(out, n, size, copied, error, control))
                    return false;
                continue;
            }
            if (n == 0)
                return true;
            if (errno == EINTR)
                continue;
            const bool unsupported = errno == EXDEV || errno == EINVAL || errno == ENOSYS
                || errno == EOPNOTSUPP || errno == EBADF;
            if (!unsupported || *copied > 0) {
                *error = errno;
                return false;
            }
            kernel = false;
            buffer.reset(new char[SafeFileTransfer::kBufferSize]);
        }
        const ssize_t n = ::read(in, buffer.get(), size_t(SafeFileTransfer::kBufferSize));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            *onRead = true;
            return false;
        }
        if (n == 0)
            return true;
        if (!writeAll(out, buffer.get(), n, error) || !blockDone(out, n, size, copied, error, control))
            return false;
    }
}

// The temporary names this process's transfers have claimed. A leftover
// sweep skips them, so a file it finds between its creation and its lock is
// not taken for a crash's.
struct HeldTemporaries
{
    std::mutex mutex;
    QSet<QByteArray> paths;
};

HeldTemporaries& heldTemporaries()
{
    static HeldTemporaries held;
    return held;
}

// Claims a fresh temporary name in `dir` for as long as it lives.
class TemporaryName
{
public:
    explicit TemporaryName(const QByteArray& dir) { renew(dir); }
    ~TemporaryName() { release(); }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;

    void renew(const QByteArray& dir)
    {
        release();
        m_path = dir + SafeFileTransfer::kTempPrefix
            + QByteArray::number(QRandomGenerator::global()->generate64(), 16) + SafeFileTransfer::kTempSuffix;
        HeldTemporaries& held = heldTemporaries();
        std::lock_guard<std::mutex> lock(held.mutex);
        held.paths.insert(m_path);
    }
    const QByteArray& path() const { return m_path; }

private:
    void release()
    {
        if (m_path.isEmpty())
            return;
        HeldTemporaries& held = heldTemporaries();
        std::lock_guard<std::mutex> lock(held.mutex);
        held.paths.remove(m_path);
    }
    QByteArray m_path;
};

// Takes the final name only if it is still free.
int publish(const QByteArray& temp, const QByteArray& final)
{
    return FileNaming::renameNoReplace(temp, final);
}

// Publishes a finished temporary file, removing it when the name is gone.
SafeFileTransfer::Result publishResult(const QByteArray& temp, const QByteArray& final)
{
    SafeFileTransfer::Result result;
    const int published = publish(temp, final);
    if (published != 0) {
        ::unlink(temp.constData());
        result.nameTaken = published == EEXIST;
        result.error = errnoText(published);
        return result;
    }
    result.ok = true;
    return result;
}

}

void SafeFileTransfer::setReadHook(ReadHook hook)
{
    readHook() = std::move(hook);
}

SafeFileTransfer::Result SafeFileTransfer::copy(const QString& sourcePath, const QString& folder,
                                                const QString& name, const Control& control)
{
    Result result;
    Fd in;
    // Non-blocking, so a FIFO put in the file's place cannot hang the run.
    in.fd = ::open(QFile::encodeName(sourcePath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in.fd < 0) {
        result.error = readErrorText(errno);
        return result;
    }
    struct stat st;
    if (::fstat(in.fd, &st) != 0) {
        result.error = readErrorText(errno);
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.error = QStringLiteral("不是普通文件");
        return result;
    }
    ::posix_fadvise(in.fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    const QByteArray dir = QFile::encodeName(folder) + '/';
    TemporaryName temporary(dir);
    const QByteArray& temp = temporary.path();
    Fd out;
    for (int attempt = 0; attempt < 64 && out.fd < 0; ++attempt) {
        if (attempt > 0)
            temporary.renew(dir);
        // Held before it shows in the folder: a leftover sweep, of this
        // process or another, never takes a file in use.
        out.fd = FileNaming::createHeld(temp, 0666);
        if (out.fd < 0 && errno != EEXIST)
            break;
    }
    if (out.fd < 0) {
        result.error = errnoText(errno);
        return result;
    }

    auto fail = [&](const QString& error) {
        ::close(out.release());
        ::unlink(temp.constData());
        result.error = error;
        return result;
    };

    // Reserve the space first: a full disk fails here, not half way through.
    if (st.st_size > 0 && ::fallocate(out.fd, 0, 0, st.st_size) != 0 && errno == ENOSPC)
        return fail(errnoText(ENOSPC));
    qint64 copied = 0;
    int error = 0;
    bool onRead = false;
    if (!copyData(sourcePath, qint64(st.st_size), in.fd, out.fd, &copied, &error, &onRead, control)) {
        result.cancelled = error == ECANCELED;
        return fail(onRead ? readErrorText(error) : errnoText(error));
    }
    if (copied != qint64(st.st_size))
        return fail(QStringLiteral("复制的数据量与源文件大小不一致"));
    // Photographers sort by modification time, so the copy keeps the card's.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.fd, times);
    if (::fsync(out.fd) != 0)
        return fail(errnoText(errno));
    if (::close(out.release()) != 0) {
        const int e = errno;
        ::unlink(temp.constData());
        result.error = errnoText(e);
        return result;
    }
    return publishResult(temp, dir + QFile::encodeName(name));
}

bool SafeFileTransfer::occupied(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString SafeFileTransfer::makeFolders(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    struct stat st;
    if (::stat(bytes.constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? QString() : QStringLiteral("同名项目已存在且不是文件夹");
    // Each missing level in turn, so the cause named is that of the first
    // folder that could not be made.
    for (qsizetype slash = bytes.indexOf('/', 1); ; slash = bytes.indexOf('/', slash + 1)) {
        const QByteArray level = slash < 0 ? bytes : bytes.left(slash);
        if (!level.isEmpty() && ::mkdir(level.constData(), 0777) != 0 && errno != EEXIST)
            return errnoText(errno);
        if (slash < 0)
            break;
    }
    if (::stat(bytes.constData(), &st) != 0)
        return errnoText(errno);
    return S_ISDIR(st.st_mode) ? QString() : QStringLiteral("同名项目已存在且不是文件夹");
}

bool SafeFileTransfer::isTemporaryName(const QString& name)
{
    const qsizetype prefix = qsizetype(std::strlen(kTempPrefix));
    const qsizetype suffix = qsizetype(std::strlen(kTempSuffix));
    const qsizetype digits = name.size() - prefix - suffix;
    if (digits < 1 || digits > 16 || !name.startsWith(QLatin1String(kTempPrefix))
        || !name.endsWith(QLatin1String(kTempSuffix)))
        return false;
    for (qsizetype i = prefix; i < prefix + digits; ++i) {
        const QChar c = name.at(i);
        if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && !(c >= QLatin1Char('a') && c <= QLatin1Char('f')))
            return false;
    }
    return true;
}

int SafeFileTransfer::removeLeftovers(const QString& folder)
{
    const QByteArray dir = QFile::encodeName(folder) + '/';
    const int removed = FileNaming::removeUnheld(folder, [&dir](const QString& name) {
        if (!isTemporaryName(name))
            return false;
        // A name claimed here is skipped even before its file is locked.
        HeldTemporaries& held = heldTemporaries();
        std::lock_guard<std::mutex> lock(held.mutex);
        return !held.paths.contains(dir + QFile::encodeName(name));
    });
    if (removed > 0)
        Log::line(QStringLiteral("🧹 [清理] 已删除中断留下的临时文件 %1 个: ").arg(removed) + folder);
    return removed;
}

SafeFileTransfer::Result SafeFileTransfer::move(const QString& sourcePath, const QString& folder,
                                                const QString& name)
{
    Result result;
    const QByteArray source = QFile::encodeName(sourcePath);
    const QByteArray final = QFile::encodeName(folder) + '/' + QFile::encodeName(name);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, final.constData(), RENAME_NOREPLACE) == 0) {
        result.ok = true;
        return result;
    }
    int error = errno;
    if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
        // No RENAME_NOREPLACE here: a hard link claims the name atomically.
        if (::link(source.constData(), final.constData()) == 0) {
            if (::unlink(source.constData()) == 0) {
                result.ok = true;
                return result;
            }
            error = errno;
            ::unlink(final.constData());
        } else {
            error = errno;
            if (error != EEXIST && error != EXDEV) {
                // Drives without hard links (FAT, exFAT): check, then rename.
                struct stat st;
                if (::lstat(final.constData(), &st) == 0)
                    error = EEXIST;
                else if (::rename(source.constData(), final.constData()) == 0)
                    error = 0;
                else
                    error = errno;
                if (error == 0) {
                    result.ok = true;
                    return result;
                }
            }
        }
    }
    if (error == EXDEV)
        return moveByCopy(sourcePath, folder, name);
    result.nameTaken = error == EEXIST;
    result.error = errnoText(error);
    return result;
}

SafeFileTransfer::Result SafeFileTransfer::moveByCopy(const QString& sourcePath, const QString& folder,
                                                      const QString& name)
{
    Result result;
    const QByteArray source = QFile::encodeName(sourcePath);
    struct stat st;
    if (::lstat(source.constData(), &st) != 0) {
        result.error = errnoText(errno);
        return result;
    }
    if (S_ISLNK(st.st_mode)) {
        QByteArray target(qsizetype(st.st_size > 0 ? st.st_size : 4096) + 1, Qt::Uninitialized);
        const ssize_t n = ::readlink(source.constData(), target.data(), size_t(target.size()));
        if (n < 0 || n >= target.size()) {
            result.error = errnoText(n < 0 ? errno : ENAMETOOLONG);
            return result;
        }
        target.truncate(n);
        const QByteArray dir = QFile::encodeName(folder) + '/';
        const TemporaryName temp(dir);
        if (::symlink(target.constData(), temp.path().constData()) != 0) {
            result.error = errnoText(errno);
            return result;
        }
        result = publishResult(temp.path(), dir + QFile::encodeName(name));
        if (!result.ok)
            return result;
        Paths::syncDirectory(folder);
    } else {
        result = copy(sourcePath, folder, name);
        if (!result.ok)
            return result;
        // The copy's name must be on disk before the source goes.
        Paths::syncDirectory(folder);
    }
    if (::unlink(source.constData()) != 0) {
        // Both files are whole; the user keeps two rather than none.
        result.ok = false;
        result.error = QStringLiteral("已复制到目标文件夹，但无法删除源文件: ") + errnoText(errno);
    }
    return result;
}
