#include "FolderWalk.h"

#include "platform/Paths.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace FolderWalk {
namespace {

Type typeOf(unsigned char d)
{
    switch (d) {
    case DT_REG:
        return Type::regular;
    case DT_DIR:
        return Type::directory;
    case DT_LNK:
        return Type::symlink;
    default:
        return Type::other;
    }
}

struct Walker
{
    const EntryFn& entry;
    const EnterFn& enter;
    const ErrorFn& error;

    bool folder(const QByteArray& path, bool isRoot)
    {
        // The root folder "/" is walked with an empty prefix.
        DIR* dir = ::opendir(path.isEmpty() ? "/" : path.constData());
        if (!dir) {
            if (!isRoot && error)
                error(path, errno);
            return false;
        }
        // Subfolders are entered after this folder is closed, so the number
        // of open descriptors never grows with the depth of the tree.
        std::vector<std::pair<QByteArray, QByteArray>> subfolders;
        for (;;) {
            errno = 0;
            const dirent* e = ::readdir(dir);
            if (!e) {
                if (errno != 0 && error)
                    error(path, errno);
                break;
            }
            if (e->d_name[0] == '.')
                continue;
            const QByteArray name(e->d_name);
            const QByteArray child = path + '/' + name;
            unsigned char d = e->d_type;
            if (d == DT_UNKNOWN) {
                struct stat st;
                if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    if (error)
                        error(child, errno);
                    continue;
                }
                d = IFTODT(st.st_mode);
            }
            if (d == DT_DIR)
                subfolders.emplace_back(child, name);
            else
                entry(child, typeOf(d));
        }
        ::closedir(dir);
        for (const auto& [child, name] : subfolders) {
            if (!enter || enter(child, name))
                folder(child, false);
        }
        return true;
    }
};

} // namespace

bool walk(const QString& root, const EntryFn& entry, const EnterFn& enter, const ErrorFn& error)
{
    QByteArray path = QFile::encodeName(root);
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    Walker walker{entry, enter, error};
    return walker.folder(path == "/" ? QByteArray() : path, true);
}

QString errorText(int error)
{
    // Walks only read: a refusal here is about reading, not writing.
    if (error == EACCES || error == EPERM)
        return QStringLiteral("没有读取权限");
    return Paths::errorText(error);
}

QString lowerExtension(const QString& fileName)
{
    // A leading dot starts a hidden name, not an extension.
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? QString() : fileName.mid(dot + 1).toLower();
}

QString baseName(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? fileName : fileName.left(dot);
}

}
