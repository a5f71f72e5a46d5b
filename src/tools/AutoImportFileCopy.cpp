#include "AutoImportFileCopy.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
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

// Copies until end of file; the kernel path first, a bounded buffer when the
// file systems cannot do it in the kernel.
bool copyData(int in, int out, qint64* copied, int* error)
{
    bool kernel = true;
    std::unique_ptr<char[]> buffer;
    for (;;) {
        if (kernel) {
            const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t(AutoImportFileCopy::kBufferSize), 0);
            if (n > 0) {
                startWriteback(out, *copied, n);
                *copied += n;
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
            buffer.reset(new char[AutoImportFileCopy::kBufferSize]);
        }
        const ssize_t n = ::read(in, buffer.get(), size_t(AutoImportFileCopy::kBufferSize));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        if (n == 0)
            return true;
        if (!writeAll(out, buffer.get(), n, error))
            return false;
        startWriteback(out, *copied, n);
        *copied += n;
    }
}

// Takes the final name only if it is still free. Falls back to link+unlink on
// file systems without RENAME_NOREPLACE, and to an existence check where even
// hard links are missing (FAT/exFAT drives).
int publish(const QByteArray& temp, const QByteArray& final)
{
    if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, final.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    if (::link(temp.constData(), final.constData()) == 0) {
        ::unlink(temp.constData());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    struct stat st;
    if (::lstat(final.constData(), &st) == 0)
        return EEXIST;
    return ::rename(temp.constData(), final.constData()) == 0 ? 0 : errno;
}

}

AutoImportFileCopy::Result AutoImportFileCopy::copy(const QString& sourcePath, const QString& folder,
                                                    const QString& name,
                                                    const std::function<QString()>& fault)
{
    Result result;
    Fd in;
    // Non-blocking, so a FIFO put in the file's place cannot hang the run.
    in.fd = ::open(QFile::encodeName(sourcePath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in.fd < 0) {
        result.error = errnoText(errno);
        return result;
    }
    struct stat st;
    if (::fstat(in.fd, &st) != 0) {
        result.error = errnoText(errno);
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.error = QStringLiteral("不是普通文件");
        return result;
    }
    ::posix_fadvise(in.fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    const QByteArray dir = QFile::encodeName(folder) + '/';
    QByteArray temp;
    Fd out;
    for (int attempt = 0; attempt < 64 && out.fd < 0; ++attempt) {
        temp = dir + kTempPrefix
            + QByteArray::number(QRandomGenerator::global()->generate64(), 16) + kTempSuffix;
        out.fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
    if (!copyData(in.fd, out.fd, &copied, &error))
        return fail(errnoText(error));
    if (copied != qint64(st.st_size))
        return fail(QStringLiteral("复制的数据量与源文件大小不一致"));
    if (fault) {
        const QString faultError = fault();
        if (!faultError.isEmpty())
            return fail(faultError);
    }
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
    const int published = publish(temp, dir + QFile::encodeName(name));
    if (published != 0) {
        ::unlink(temp.constData());
        result.nameTaken = published == EEXIST;
        result.error = errnoText(published);
        return result;
    }
    result.ok = true;
    return result;
}
