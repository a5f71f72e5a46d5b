#include "Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

namespace Paths {

namespace {
QString ensure(const QString& path)
{
    QDir().mkpath(path);
    return path;
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

QString saveAtomically(const QString& path, const QByteArray& bytes, const SaveOptions& options)
{
    return saveAtomically(path, QByteArrayList{bytes}, options);
}

QString saveAtomically(const QString& path, const QByteArrayList& pieces, const SaveOptions& options)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (options.makeFolder)
        QDir().mkpath(folder);
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly) && (!options.permissions || file.setPermissions(options.permissions));
    for (qsizetype i = 0; ok && i < pieces.size(); ++i)
        ok = file.write(pieces[i]) == pieces[i].size();
    if (!ok || !file.commit())
        return file.errorString().isEmpty() ? QStringLiteral("无法写入文件") : file.errorString();
    syncDirectory(folder);
    return {};
}

}
