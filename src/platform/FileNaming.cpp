#include "FileNaming.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <memory>
#include <mutex>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileNaming {

int renameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // Without the flag a hard link claims the name atomically.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    // Drives without hard links (FAT, exFAT, some FUSE ones): check, then
    // rename; only a writer outside this program could race that.
    struct stat st;
    if (::lstat(to.constData(), &st) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

void hold(int fd)
{
    ::flock(fd, LOCK_EX | LOCK_NB);
}

namespace {
std::mutex g_createHookMutex;
std::shared_ptr<std::function<void()>> g_createHook;

void runCreateHook()
{
    std::shared_ptr<std::function<void()>> hook;
    {
        std::lock_guard lock(g_createHookMutex);
        hook = g_createHook;
    }
    if (hook)
        (*hook)();
}

int openRetrying(const char* path, int flags, mode_t mode)
{
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}
}

int createHeld(const QByteArray& path, mode_t mode)
{
    // Unnamed first: the name comes only once the file is held.
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArrayLiteral(".")
                              : slash == 0 ? QByteArrayLiteral("/")
                                           : path.left(slash);
    int fd = openRetrying(folder.constData(), O_WRONLY | O_TMPFILE | O_CLOEXEC, mode);
    if (fd >= 0) {
        runCreateHook();
        hold(fd);
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW) == 0)
            return fd;
        const int e = errno;
        ::close(fd);
        // Without /proc the file cannot be named; anything else is the answer.
        if (e != ENOENT || ::access("/proc/self/fd", F_OK) == 0) {
            errno = e;
            return -1;
        }
    } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return -1;
    }
    fd = openRetrying(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        return -1;
    runCreateHook();
    hold(fd);
    return fd;
}

void setCreateHook(std::function<void()> hook)
{
    std::lock_guard lock(g_createHookMutex);
    g_createHook = hook ? std::make_shared<std::function<void()>>(std::move(hook)) : nullptr;
}

int removeUnheld(const QString& folder, const std::function<bool(const QString& name)>& isOurs)
{
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    int removed = 0;
    for (const QString& name : names) {
        if (!isOurs(name))
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        int fd;
        do {
            fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0)
            continue;
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::unlink(path.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

}
