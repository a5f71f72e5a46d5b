#include "Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace Paths {

namespace {
QString ensure(const QString& path)
{
    QDir().mkpath(path);
    return path;
}

std::mutex& hookMutex()
{
    static std::mutex m;
    return m;
}

std::shared_ptr<SaveHook>& hookSlot()
{
    static std::shared_ptr<SaveHook> hook;
    return hook;
}

std::shared_ptr<SaveHook> currentHook()
{
    std::lock_guard lock(hookMutex());
    return hookSlot();
}

// One save from the temporary file to the rename. Every call returns an
// errno, 0 when the step went through.
class AtomicSave
{
public:
    explicit AtomicSave(std::shared_ptr<SaveHook> hook)
        : m_hook(std::move(hook))
    {
    }
    ~AtomicSave()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_temp.isEmpty())
            ::unlink(m_temp.constData());
    }

    int create(const QByteArray& target, mode_t mode, bool exactMode)
    {
        const qsizetype slash = target.lastIndexOf('/');
        const QByteArray stem = target.left(slash + 1) + '.' + target.mid(slash + 1) + '.';
        static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            QByteArray name = stem;
            for (int i = 0; i < 8; ++i)
                name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
            m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
            if (m_fd >= 0) {
                m_temp = name;
                // The umask may have taken bits the target needs.
                if (exactMode && ::fchmod(m_fd, mode) != 0)
                    return errno;
                return 0;
            }
            if (errno != EEXIST && errno != EINTR)
                return errno;
        }
        return EEXIST;
    }

    int write(const QList<QByteArrayView>& pieces)
    {
        qsizetype piece = 0;
        qsizetype offset = 0; // into pieces[piece]
        while (true) {
            while (piece < pieces.size() && offset == pieces[piece].size()) {
                ++piece;
                offset = 0;
            }
            if (piece == pieces.size())
                return 0;
            iovec iov[IOV_MAX];
            int count = 0;
            qsizetype total = 0;
            for (qsizetype i = piece; i < pieces.size() && count < IOV_MAX; ++i) {
                const qsizetype skip = i == piece ? offset : 0;
                const qsizetype size = pieces[i].size() - skip;
                if (size == 0)
                    continue;
                iov[count].iov_base = const_cast<char*>(pieces[i].data() + skip);
                iov[count].iov_len = size_t(size);
                total += size;
                ++count;
            }
            qsizetype allowed = total;
            if (const int fault = hook(SaveStep::Write, allowed)) {
                if (fault == EINTR)
                    continue;
                return fault;
            }
            count = trim(iov, count, allowed);
            const ssize_t n = count ? ::writev(m_fd, iov, count) : 0;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            if (n == 0)
                return EIO; // no progress and no cause: never spin
            // Step past what went, however little.
            qsizetype left = n;
            while (left > 0) {
                const qsizetype inPiece = pieces[piece].size() - offset;
                if (left < inPiece) {
                    offset += left;
                    left = 0;
                } else {
                    left -= inPiece;
                    ++piece;
                    offset = 0;
                }
            }
        }
    }

    int sync()
    {
        return step(SaveStep::Sync, [this] { return ::fsync(m_fd); });
    }

    int close()
    {
        qsizetype none = 0;
        const int fault = hook(SaveStep::Close, none);
        // A close is never tried twice: on Linux the descriptor is gone even
        // when it reports EINTR.
        const int rc = ::close(m_fd);
        m_fd = -1;
        if (fault && fault != EINTR)
            return fault;
        return rc == 0 || errno == EINTR ? 0 : errno;
    }

    int rename(const QByteArray& target)
    {
        const int error = step(SaveStep::Rename, [&] { return ::rename(m_temp.constData(), target.constData()); });
        if (error == 0)
            m_temp.clear();
        return error;
    }

private:
    int hook(SaveStep s, qsizetype& bytes) const
    {
        return m_hook ? (*m_hook)(s, bytes) : 0;
    }

    template<typename Call>
    int step(SaveStep s, Call call)
    {
        while (true) {
            qsizetype none = 0;
            const int fault = hook(s, none);
            if (fault == EINTR)
                continue;
            if (fault)
                return fault;
            if (call() == 0)
                return 0;
            if (errno != EINTR)
                return errno;
        }
    }

    // How many of `iov` remain once cut to `allowed` bytes.
    static int trim(iovec* iov, int count, qsizetype allowed)
    {
        int kept = 0;
        for (; kept < count && allowed > 0; ++kept) {
            iov[kept].iov_len = size_t(std::min<qsizetype>(qsizetype(iov[kept].iov_len), allowed));
            allowed -= qsizetype(iov[kept].iov_len);
        }
        return kept;
    }

    std::shared_ptr<SaveHook> m_hook;
    int m_fd = -1;
    QByteArray m_temp;
};

mode_t toMode(QFileDevice::Permissions p)
{
    mode_t mode = 0;
    const std::pair<QFileDevice::Permission, mode_t> bits[] = {
        {QFileDevice::ReadOwner, S_IRUSR}, {QFileDevice::WriteOwner, S_IWUSR}, {QFileDevice::ExeOwner, S_IXUSR},
        {QFileDevice::ReadGroup, S_IRGRP}, {QFileDevice::WriteGroup, S_IWGRP}, {QFileDevice::ExeGroup, S_IXGRP},
        {QFileDevice::ReadOther, S_IROTH}, {QFileDevice::WriteOther, S_IWOTH}, {QFileDevice::ExeOther, S_IXOTH}};
    for (const auto& [flag, bit] : bits)
        if (p.testFlag(flag))
            mode |= bit;
    return mode;
}
}

QString dataDir()
{
    return ensure(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/" + kProductFolder);
}

QString dataSubdir(const QString& name)
{
    return ensure(dataDir() + "/" + name);
}

QString configDir()
{
    return ensure(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/" + kProductFolder);
}

QString desktopDir()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return desktop.isEmpty() ? QDir::homePath() : desktop;
}

void syncDirectory(const QString& dirPath)
{
    const int fd = ::open(QFile::encodeName(dirPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

QString errorText(int error)
{
    switch (error) {
    case 0: return {};
    case ENOSPC: return QStringLiteral("磁盘空间不足");
    case EDQUOT: return QStringLiteral("磁盘配额已用完");
    case EACCES:
    case EPERM: return QStringLiteral("没有写入权限");
    case EROFS: return QStringLiteral("磁盘是只读的");
    case EIO: return QStringLiteral("磁盘读写出错（I/O 错误）");
    case ENOENT: return QStringLiteral("文件夹不存在");
    case ENOTDIR: return QStringLiteral("路径中有一项不是文件夹");
    case EISDIR: return QStringLiteral("目标是一个文件夹");
    case ENAMETOOLONG: return QStringLiteral("文件名太长");
    case EFBIG: return QStringLiteral("文件太大");
    case EEXIST: return QStringLiteral("文件已存在");
    case ENOMEM: return QStringLiteral("内存不足");
    case EMFILE:
    case ENFILE: return QStringLiteral("打开的文件太多");
    case EBUSY:
    case ETXTBSY: return QStringLiteral("文件正被占用");
    case ELOOP: return QStringLiteral("路径中的符号链接太多");
    case EXDEV: return QStringLiteral("不能跨磁盘移动");
    case ENODEV:
    case ENXIO: return QStringLiteral("磁盘已断开");
    case ESTALE:
    case ENOTCONN:
    case ETIMEDOUT:
    case EHOSTUNREACH: return QStringLiteral("网络磁盘已断开");
    case ECANCELED: return QStringLiteral("已取消");
    default: return QStringLiteral("系统错误（代码 %1）").arg(error);
    }
}

QString saveAtomically(const QString& path, QByteArrayView bytes, const SaveOptions& options)
{
    return saveAtomically(path, QList<QByteArrayView>{bytes}, options);
}

QString saveAtomically(const QString& path, const QList<QByteArrayView>& pieces, const SaveOptions& options)
{
    // A link is followed: the file it points at is replaced, the link stays.
    QFileInfo info(path);
    const QString resolved = info.isSymLink() && !info.canonicalFilePath().isEmpty() ? info.canonicalFilePath()
                                                                                      : info.absoluteFilePath();
    const QString folder = QFileInfo(resolved).absolutePath();
    if (options.makeFolder)
        QDir().mkpath(folder);
    const QByteArray target = QFile::encodeName(resolved);

    mode_t mode = 0666;
    bool exactMode = false;
    struct stat st {};
    if (options.permissions) {
        mode = toMode(options.permissions);
        exactMode = true;
    } else if (::stat(target.constData(), &st) == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
        exactMode = true;
    }

    AtomicSave save(currentHook());
    int error = save.create(target, mode, exactMode);
    if (!error)
        error = save.write(pieces);
    if (!error)
        error = save.sync();
    if (!error)
        error = save.close();
    if (!error)
        error = save.rename(target);
    if (error)
        return errorText(error);
    // The new file is in place whatever this says; a folder that cannot be
    // synced leaves it where a power cut may still undo the rename.
    syncDirectory(folder);
    return {};
}

void setSaveHook(SaveHook hook)
{
    std::lock_guard lock(hookMutex());
    hookSlot() = hook ? std::make_shared<SaveHook>(std::move(hook)) : nullptr;
}

}
