#include "FtpUpload.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

std::unique_ptr<FtpUpload> FtpUpload::create(const QString& path, int* error)
{
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (error)
            *error = errno;
        return nullptr;
    }
    if (error)
        *error = 0;
    return std::unique_ptr<FtpUpload>(new FtpUpload(fd, path));
}

FtpUpload::FtpUpload(int fd, QString path)
    : m_fd(fd)
    , m_path(std::move(path))
{
}

FtpUpload::~FtpUpload()
{
    discard();
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
    return true;
}

bool FtpUpload::commit()
{
    if (m_fd < 0)
        return false;
    const int fd = std::exchange(m_fd, -1);
    // A delayed write error (network or quota) shows up only here.
    if (::close(fd) != 0 && errno != EINTR) {
        m_error = errno;
        ::unlink(QFile::encodeName(m_path).constData());
        return false;
    }
    return true;
}

void FtpUpload::discard()
{
    if (m_fd < 0)
        return;
    ::close(std::exchange(m_fd, -1));
    ::unlink(QFile::encodeName(m_path).constData());
}

bool FtpUpload::isOutOfSpace(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}
