#include "AutoImportEngine.h"

#include "AutoImportDestination.h"
#include "SafeFileTransfer.h"

#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/ProcessActivity.h"

#include <QDir>
#include <QFileInfo>

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

// A dangling link still occupies its name.
bool occupied(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

struct ScanCounters
{
    int nonRegular = 0;
    int regular = 0;
    int media = 0;
    int other = 0;
};

// Pre-order walk in name order; without QDir::Hidden hidden entries are never
// listed, so hidden folders are never entered. Links are not followed.
void walk(const QString& folder, AutoImportEngine::ScanResult& result, ScanCounters& counters)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& info : entries) {
        if (info.isSymLink()) {
            ++counters.nonRegular;
        } else if (info.isDir()) {
            ++counters.nonRegular;
            if (!info.isReadable() || !info.isExecutable()) {
                Log::line(QStringLiteral("⚠️ [权限] 无法读取 ") + info.filePath()
                          + QStringLiteral(": 权限不足，跳过继续"));
                ++result.unreadableCount;
                continue;
            }
            walk(info.filePath(), result, counters);
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
    static const QSet<QString> set{"arw", "cr2", "cr3", "nef", "nrw", "raf", "rw2",
                                   "orf", "dng", "jpg", "jpeg", "heic", "heif"};
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
    const QFileInfo root(folder);
    if (!root.isDir() || !root.isReadable() || !root.isExecutable()) {
        Log::line(QStringLiteral("❌ [扫描] 无法创建枚举器，目录可能不可访问: ") + folder);
        result.sourceUnreadable = true;
        return result;
    }
    ScanCounters counters;
    walk(folder, result, counters);
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
    for (int n = 2; occupied(join(root, name)); ++n)
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

AutoImportEngine::Target AutoImportEngine::prepareTarget(const QStringList& files, const Options& options)
{
    Target t;
    const RootChoice root = chooseRoot(options.rootPath, options.desktopPath);
    if (root.custom) {
        Log::line(QStringLiteral("📁 [导片] 使用自定义照片存放位置: ") + root.path);
    } else if (!options.rootPath.isEmpty() && occupied(options.rootPath)) {
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

    // One block that stops at the first failure; the copies into a missing
    // folder then fail one by one and are counted.
    auto createBlock = [&t]() -> bool {
        if (t.photos > 0) {
            if (!QDir().mkpath(t.photoDir))
                return false;
            Log::line(QStringLiteral("📁 [创建] 照片文件夹"));
        }
        if (t.videos > 0) {
            if (!QDir().mkpath(t.videoDir))
                return false;
            Log::line(QStringLiteral("📁 [创建] 视频文件夹"));
        }
        Log::line(QStringLiteral("📁 [创建] 目标文件夹: ") + t.path);
        return true;
    };
    if (!createBlock()) {
        t.createFailed = true;
        const QString blocker = occupied(t.photoDir) && !QFileInfo(t.photoDir).isDir() ? t.photoDir
            : occupied(t.videoDir) && !QFileInfo(t.videoDir).isDir()                   ? t.videoDir
                                                                                       : t.path;
        Log::line(QStringLiteral("❌ [创建] 创建目标文件夹失败: 无法创建文件夹 ") + blocker);
    }
    return t;
}

void AutoImportEngine::report(const AutoImportCounts& counts)
{
    if (m_progress.put(counts))
        Q_EMIT progressed();
}

AutoImportEngine::FileResult AutoImportEngine::importFile(const QString& file, AutoImportDestination& dest,
                                                          AutoImportCounts& counts, QString* error)
{
    const QFileInfo info(file);
    const QString name = info.fileName();
    const AutoImportDestination::Source source{
        file, info.size(), info.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch()};
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
    for (;;) {
        const AutoImportDestination::Placement placement = dest.place(name, source);
        if (placement.duplicate) {
            Log::line(QStringLiteral("⚠️ [跳过重复] ") + name);
            return FileResult::skipped;
        }
        if (placement.name.isEmpty()) {
            *error = QStringLiteral("同名文件过多，找不到可用的文件名");
            Log::line(QStringLiteral("❌ [复制失败] ") + name + QStringLiteral(": ") + *error);
            return FileResult::failed;
        }
        const SafeFileTransfer::Result copy = SafeFileTransfer::copy(file, dest.folder(), placement.name, control);
        if (copy.cancelled)
            return FileResult::cut;
        if (copy.nameTaken) {
            // Another writer took the name meanwhile: try the next one.
            dest.noteTaken(placement.name);
            continue;
        }
        if (!copy.ok) {
            *error = copy.error;
            Log::line(QStringLiteral("❌ [复制失败] ") + name + QStringLiteral(": ") + copy.error);
            return FileResult::failed;
        }
        if (placement.name != name) {
            Log::line(QStringLiteral("⚠️ [导片] ") + name + QStringLiteral(" 与已有同名文件不同，另存为 ")
                      + placement.name);
        }
        dest.noteCopied(placement.name, source);
        return FileResult::copied;
    }
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

    const Target target = prepareTarget(files, options);
    AutoImportOutcome outcome;
    outcome.targetPath = target.path;
    outcome.sourceUnreadable = scanned.sourceUnreadable;
    outcome.createFailed = target.createFailed;
    AutoImportCounts& counts = outcome.counts;
    counts.failed = scanned.unreadableCount + (scanned.sourceUnreadable ? 1 : 0);

    AutoImportDestination photoDest(target.photoDir);
    AutoImportDestination videoDest(target.videoDir);
    photoDest.load();
    videoDest.load();
    bool wrotePhotos = false;
    bool wroteVideos = false;

    for (qsizetype i = 0; i < files.size(); ++i) {
        const Kind kind = kindOf(files[i]);
        AutoImportDestination& dest = kind == Kind::photo ? photoDest : videoDest;
        QString error;
        const FileResult result = importFile(files[i], dest, counts, &error);
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
            if (counts.failures.size() < AutoImportCounts::kKeptFailures)
                counts.failures.append({QFileInfo(files[i]).fileName(), error});
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
