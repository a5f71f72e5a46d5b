#include "AutoImportEngine.h"

#include "DestinationFolder.h"
#include "FolderWalk.h"
#include "SafeFileTransfer.h"

#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/ProcessActivity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString lowerSuffix(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.mid(dot + 1).toLower();
}

QString join(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

struct ScanCounters
{
    int nonRegular = 0;
    int regular = 0;
    int media = 0;
    int other = 0;
};

// Why the folder cannot be listed by this process (as it runs now, so a
// root that dropped its rights is judged as the user it acts for); empty
// when it can.
QString unreadableCause(const QString& folder)
{
    if (::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), R_OK | X_OK, AT_EACCESS) == 0)
        return QString();
    return FolderWalk::errorText(errno);
}

// Pre-order walk in name order; without QDir::Hidden hidden entries are never
// listed, so hidden folders are never entered. Links are not followed.
void walk(const QString& root, const QString& folder, AutoImportEngine::ScanResult& result,
          ScanCounters& counters)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& info : entries) {
        if (info.isSymLink()) {
            ++counters.nonRegular;
        } else if (info.isDir()) {
            ++counters.nonRegular;
            const QString cause = unreadableCause(info.filePath());
            if (!cause.isEmpty()) {
                Log::line(QStringLiteral("⚠️ [权限] 无法读取 ") + info.filePath() + QStringLiteral(": ") + cause
                          + QStringLiteral("，跳过继续"));
                // Named from the card's root, as the user knows the card.
                result.unreadable.append({QDir(root).relativeFilePath(info.filePath()), cause});
                continue;
            }
            walk(root, info.filePath(), result, counters);
        } else if (info.isFile()) {
            ++counters.regular;
            if (AutoImportEngine::kindOf(info.fileName()) != AutoImportEngine::Kind::none) {
                ++counters.media;
                result.files.append(info.filePath());
            } else {
                ++counters.other;
            }
        } else {
            ++counters.nonRegular;
        }
    }
}

} // namespace

AutoImportEngine::AutoImportEngine(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<AutoImportOutcome>();
}

const QSet<QString>& AutoImportEngine::photoExtensions()
{
    // Several camera makers name HEIF files ".HIF".
    static const QSet<QString> set{"arw", "cr2", "cr3", "nef", "nrw", "raf", "rw2",
                                   "orf", "dng", "jpg", "jpeg", "heic", "heif", "hif"};
    return set;
}

const QSet<QString>& AutoImportEngine::videoExtensions()
{
    static const QSet<QString> set{"mp4", "mov", "mts", "m2ts", "avi", "prores"};
    return set;
}

AutoImportEngine::Kind AutoImportEngine::kindOf(const QString& fileName)
{
    const QString ext = lowerSuffix(fileName);
    if (ext.isEmpty())
        return Kind::none;
    if (photoExtensions().contains(ext))
        return Kind::photo;
    if (videoExtensions().contains(ext))
        return Kind::video;
    return Kind::none;
}

AutoImportEngine::ScanResult AutoImportEngine::scan(const QString& folder)
{
    ScanResult result;
    Log::line(QStringLiteral("📂 [扫描] 开始用 directoryEnumerator 递归扫描: ") + folder);
    const QString cause = QFileInfo(folder).isDir() || !QFileInfo::exists(folder) ? unreadableCause(folder)
                                                                                 : FolderWalk::errorText(ENOTDIR);
    if (!cause.isEmpty()) {
        Log::line(QStringLiteral("❌ [扫描] 无法创建枚举器，目录可能不可访问: ") + folder);
        result.sourceUnreadable = true;
        result.unreadable.append({folder, cause});
        return result;
    }
    ScanCounters counters;
    walk(folder, folder, result, counters);
    Log::line(QStringLiteral("📂 [扫描统计] 遍历 %1 个子目录，扫描 %2 个文件，素材 %3 个，过滤 %4 个")
                  .arg(counters.nonRegular)
                  .arg(counters.regular)
                  .arg(counters.media)
                  .arg(counters.other));
    return result;
}

AutoImportEngine::RootChoice AutoImportEngine::chooseRoot(const QString& rootPath,
                                                          const QString& desktopPath)
{
    // A stored root that is gone or is a file falls back to the desktop; so
    // does a relative one, which would land wherever the app was started.
    if (!rootPath.isEmpty() && QDir::isAbsolutePath(rootPath) && QFileInfo(rootPath).isDir())
        return {rootPath, true};
    return {desktopPath, false};
}

QString AutoImportEngine::baseFolderName(const QDate& date)
{
    return QStringLiteral("%1.%2-相机导出").arg(date.month()).arg(date.day());
}

QString AutoImportEngine::targetFolderName(const QString& root, const QDate& date,
                                           bool dailyNewFolder)
{
    const QString base = baseFolderName(date);
    if (!dailyNewFolder)
        return base;
    QString name = base;
    for (int n = 2; SafeFileTransfer::occupied(join(root, name)); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

QString AutoImportEngine::numberedName(const QString& name, int number)
{
    // The suffix goes before the extension; a leading dot is part of the stem.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString suffix = QLatin1Char('-') + QString::number(number);
    if (dot <= 0)
        return name + suffix;
    return name.left(dot) + suffix + name.mid(dot);
}

AutoImportEngine::Target AutoImportEngine::prepareTarget(const QStringList& files, const Options& options,
                                                         AutoImportCounts& counts)
{
    Target t;
    const RootChoice root = chooseRoot(options.rootPath, options.desktopPath);
    if (root.custom) {
        Log::line(QStringLiteral("📁 [导片] 使用自定义照片存放位置: ") + root.path);
    } else if (!options.rootPath.isEmpty() && SafeFileTransfer::occupied(options.rootPath)) {
        Log::line(QStringLiteral("⚠️ [导片] 照片存放位置不是文件夹，改用桌面: ") + options.rootPath);
    }
    t.root = root.path;
    const QString name = targetFolderName(root.path, options.date, options.dailyNewFolder);
    if (options.dailyNewFolder)
        Log::line(QStringLiteral("📁 [导片] 当日新建文件夹模式：") + name);
    t.path = join(root.path, name);
    t.photoDir = join(t.path, QString::fromUtf8(kPhotoFolder));
    t.videoDir = join(t.path, QString::fromUtf8(kVideoFolder));

    for (const QString& file : files) {
        const Kind kind = kindOf(file);
        t.photos += kind == Kind::photo;
        t.videos += kind == Kind::video;
    }
    Log::line(QStringLiteral("📊 [统计] 扫描到照片 %1张，视频 %2个").arg(t.photos).arg(t.videos));

    // One block that stops at the first failure; the files meant for a
    // missing folder then fail without a copy being tried.
    QString failedDir;
    QString cause;
    auto create = [&](const QString& dir, const char* line) {
        cause = SafeFileTransfer::makeFolders(dir);
        if (!cause.isEmpty()) {
            failedDir = dir;
            return false;
        }
        Log::line(QString::fromUtf8(line));
        // A crash in an earlier run may have left a part copy here.
        SafeFileTransfer::removeLeftovers(dir);
        return true;
    };
    if ((t.photos == 0 || create(t.photoDir, "📁 [创建] 照片文件夹"))
        && (t.videos == 0 || create(t.videoDir, "📁 [创建] 视频文件夹"))) {
        Log::line(QStringLiteral("📁 [创建] 目标文件夹: ") + t.path);
    } else {
        t.createFailed = true;
        Log::line(QStringLiteral("❌ [创建] 创建目标文件夹失败: 无法创建文件夹 ") + failedDir + QStringLiteral(": ")
                  + cause);
        counts.noteFailure(failedDir, QStringLiteral("无法创建文件夹，") + cause);
    }
    return t;
}

void AutoImportEngine::report(const AutoImportCounts& counts)
{
    if (m_progress.put(counts))
        Q_EMIT progressed();
}

AutoImportEngine::FileResult AutoImportEngine::importFile(const QString& file, DestinationFolder& dest,
                                                          AutoImportCounts& counts, QString* error)
{
    const QString name = QFileInfo(file).fileName();
    const DestinationFolder::Source source = DestinationFolder::sourceOf(file);
    counts.currentFileName = name;
    counts.fileDone = 0;
    counts.fileSize = source.size;
    report(counts);

    SafeFileTransfer::Control control;
    control.cancel = &m_cancel;
    control.progress = [this, &counts](qint64 written) {
        counts.fileDone = written;
        report(counts);
    };
    const DestinationFolder::Put put = dest.put(name, source, [&](const QString& target) {
        return SafeFileTransfer::copy(file, dest.folder(), target, control);
    });
    switch (put.outcome) {
    case DestinationFolder::Outcome::duplicate:
        Log::line(QStringLiteral("⚠️ [跳过重复] ") + name);
        return FileResult::skipped;
    case DestinationFolder::Outcome::cancelled:
        return FileResult::cut;
    case DestinationFolder::Outcome::failed:
        *error = put.error;
        Log::line(QStringLiteral("❌ [复制失败] ") + name + QStringLiteral(": ") + put.error);
        return FileResult::failed;
    case DestinationFolder::Outcome::placed:
        break;
    }
    if (put.name != name)
        Log::line(QStringLiteral("⚠️ [导片] ") + name + QStringLiteral(" 与已有同名文件不同，另存为 ") + put.name);
    return FileResult::copied;
}

void AutoImportEngine::run(const QString& sourcePath, const Options& options)
{
    ProcessActivity activity(QString::fromUtf8(kActivityReason));
    // Linux has no security-scoped access: it is always granted.
    Log::line(QStringLiteral("🔐 [沙盒] 源文件夹安全访问: true"));

    const ScanResult scanned = scan(sourcePath);
    const QStringList& files = scanned.files;
    Log::line(QStringLiteral("📂 [扫描完成] 递归扫描到素材文件总数: ") + QString::number(files.size()));
    Q_EMIT scanFinished(int(files.size()));
    if (files.isEmpty())
        Log::line(QStringLiteral("⚠️ [警告] 没有扫描到任何照片/视频文件，请检查存储卡内容和权限"));

    AutoImportOutcome outcome;
    AutoImportCounts& counts = outcome.counts;
    for (const auto& [folder, cause] : scanned.unreadable) {
        ++counts.failed;
        counts.noteFailure(folder, QStringLiteral("无法读取文件夹，") + cause);
    }
    const Target target = prepareTarget(files, options, counts);
    outcome.targetPath = target.path;
    outcome.sourceUnreadable = scanned.sourceUnreadable;
    outcome.createFailed = target.createFailed;

    DestinationFolder photoDest(target.photoDir);
    DestinationFolder videoDest(target.videoDir);
    photoDest.load();
    videoDest.load();
    // A folder that could not be made fails its files without a copy tried:
    // the cause is named once, not as "no such file" for each.
    const bool photosReady = target.photos == 0 || QFileInfo(target.photoDir).isDir();
    const bool videosReady = target.videos == 0 || QFileInfo(target.videoDir).isDir();
    bool wrotePhotos = false;
    bool wroteVideos = false;

    for (qsizetype i = 0; i < files.size(); ++i) {
        const Kind kind = kindOf(files[i]);
        DestinationFolder& dest = kind == Kind::photo ? photoDest : videoDest;
        QString error;
        FileResult result = FileResult::failed;
        if (kind == Kind::photo ? photosReady : videosReady) {
            result = importFile(files[i], dest, counts, &error);
        } else {
            Log::line(QStringLiteral("❌ [复制失败] ") + QFileInfo(files[i]).fileName()
                      + QStringLiteral(": 目标文件夹无法创建"));
        }
        if (result == FileResult::cut) {
            outcome.notCopied = int(files.size() - i);
            break;
        }
        ++counts.processed;
        if (result == FileResult::copied) {
            (kind == Kind::photo ? counts.photos : counts.videos) += 1;
            (kind == Kind::photo ? wrotePhotos : wroteVideos) = true;
        } else if (result == FileResult::skipped) {
            ++counts.skip;
        } else {
            ++counts.failed;
            if (!error.isEmpty())
                counts.noteFailure(QFileInfo(files[i]).fileName(), error);
        }
        // A cancel after the last file stops nothing, so it says nothing.
        if (i + 1 < files.size() && isCancelRequested()) {
            outcome.notCopied = int(files.size() - i - 1);
            break;
        }
    }
    m_filesDone.store(true);
    counts.currentFileName.clear();
    counts.fileDone = counts.fileSize = 0;
    if (outcome.notCopied > 0) {
        Log::line(QStringLiteral("🛑 [取消] 检测到取消请求，停止后续文件复制（已复制文件全部保留）"));
        Log::line(QStringLiteral("🛑 [取消] %1 个文件未复制").arg(outcome.notCopied));
    }

    // Every file was flushed before its rename; the names themselves reach
    // the disk here, before anyone is told the card may be formatted.
    if (wrotePhotos)
        Paths::syncDirectory(target.photoDir);
    if (wroteVideos)
        Paths::syncDirectory(target.videoDir);
    if (target.photos + target.videos > 0 && !target.createFailed) {
        Paths::syncDirectory(target.path);
        Paths::syncDirectory(target.root);
    }

    Log::line(QStringLiteral("🔐 [沙盒] 已释放源文件夹安全访问"));
    Q_EMIT finished(outcome);
}
