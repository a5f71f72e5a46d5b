#include "SplitRawJpgEngine.h"

#include "FolderWalk.h"
#include "SafeFileTransfer.h"

#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/ProcessActivity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void SplitRawJpgEngine::FileList::append(const QByteArray& relativePath)
{
    m_data.append(relativePath);
    m_data.append('\0');
    ++m_count;
}

void SplitRawJpgEngine::FileList::forEach(const std::function<void(const QByteArray&)>& fn) const
{
    qsizetype start = 0;
    while (start < m_data.size()) {
        const qsizetype end = m_data.indexOf('\0', start);
        fn(QByteArray::fromRawData(m_data.constData() + start, end - start));
        start = end + 1;
    }
}

QStringList SplitRawJpgEngine::FileList::toStringList() const
{
    QStringList out;
    forEach([&out](const QByteArray& path) { out.append(QFile::decodeName(path)); });
    return out;
}

SplitRawJpgEngine::SplitRawJpgEngine(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<SplitRawJpgCounts>();
}

const QSet<QString>& SplitRawJpgEngine::rawExtensions()
{
    static const QSet<QString> set{"arw", "cr2", "cr3", "nef", "nrw", "raf", "rw2", "orf",
                                   "dng", "pef", "srw", "x3f", "mos", "erf", "raw"};
    return set;
}

const QSet<QString>& SplitRawJpgEngine::jpgExtensions()
{
    // Several camera makers name HEIF files ".HIF".
    static const QSet<QString> set{"jpg", "jpeg", "heif", "heic", "hif"};
    return set;
}

SplitRawJpgEngine::Kind SplitRawJpgEngine::kindOf(const QString& fileName)
{
    const QString ext = FolderWalk::lowerExtension(fileName);
    if (rawExtensions().contains(ext))
        return Kind::raw;
    if (jpgExtensions().contains(ext))
        return Kind::jpg;
    return Kind::other;
}

SplitRawJpgEngine::Listing SplitRawJpgEngine::getAllFiles(const QString& folder)
{
    Listing listing;
    const QString root = QDir::cleanPath(folder);
    const qsizetype prefix = QFile::encodeName(root).size() + (root == QLatin1String("/") ? 0 : 1);
    FolderWalk::walk(
        root,
        [&](const QByteArray& path, FolderWalk::Type) { listing.files.append(path.mid(prefix)); },
        {},
        [&](const QByteArray& path, int error) {
            const QString cause = FolderWalk::errorText(error);
            Log::line(QStringLiteral("❌ [扫描] 读取文件属性失败: ") + QFile::decodeName(path)
                      + QStringLiteral(": ") + cause);
            if (++listing.unreadable <= ToolRunCounts::kKeptFailures)
                listing.firstUnreadable.append({QFile::decodeName(path), QStringLiteral("无法读取，") + cause});
        });
    return listing;
}

void SplitRawJpgEngine::run(const QString& folder)
{
    ProcessActivity activity(QString::fromUtf8(kActivityReason));
    const QString root = QDir::cleanPath(folder);
    const Listing listing = getAllFiles(root);
    Log::line(QStringLiteral("📂 [扫描] 递归扫描到文件总数: ") + QString::number(listing.files.size()));
    Q_EMIT scanFinished(listing.files.size());

    SplitRawJpgCounts counts;
    counts.failed = listing.unreadable;
    for (const auto& [path, cause] : listing.firstUnreadable)
        counts.noteFailure(path, cause);
    const QString rawDir = root + QLatin1Char('/') + QLatin1String(kRawFolder);
    const QString jpgDir = root + QLatin1Char('/') + QLatin1String(kJpgFolder);
    bool rawReady = true;
    bool jpgReady = true;
    for (const QString& dir : {rawDir, jpgDir}) {
        const QString error = SafeFileTransfer::makeFolders(dir);
        if (!error.isEmpty()) {
            // The files it was to receive then fail without a move tried.
            Log::line(QStringLiteral("❌ [创建] 创建文件夹失败: ") + dir + QStringLiteral(": ") + error);
            ++counts.failed;
            counts.noteFailure(dir, QStringLiteral("无法创建文件夹，") + error);
            (dir == rawDir ? rawReady : jpgReady) = false;
        } else {
            // A crash in an earlier pass may have left a part copy here.
            SafeFileTransfer::removeLeftovers(dir);
        }
    }
    if (rawReady && jpgReady)
        Log::line(QStringLiteral("📁 [创建] RAW和JPG文件夹已就绪"));

    const QByteArray rootBytes = QFile::encodeName(root);
    bool movedRaw = false;
    bool movedJpg = false;
    listing.files.forEach([&](const QByteArray& relative) {
        if (m_stop.load())
            return;
        const QString path = QFile::decodeName(rootBytes + '/' + relative);
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        const QString name = path.mid(slash + 1);
        counts.currentFileName = name;
        if (m_progress.put(counts))
            Q_EMIT progressed();

        const Kind kind = kindOf(name);
        ++counts.processed;
        if (kind == Kind::other)
            return;
        // A link moved into a subfolder no longer points where it did (a
        // relative one breaks), so it stays where the user put it.
        if (QFileInfo(path).isSymLink()) {
            Log::line(QStringLiteral("⚠️ [跳过] 符号链接，保留原位: ") + name);
            ++counts.skip;
            return;
        }
        const QString& target = kind == Kind::raw ? rawDir : jpgDir;
        // Files already in their subfolder are their own destination.
        SafeFileTransfer::Result moved;
        if (!(kind == Kind::raw ? rawReady : jpgReady))
            moved.error = QStringLiteral("目标文件夹无法创建");
        else if (!SafeFileTransfer::occupied(target + QLatin1Char('/') + name))
            moved = SafeFileTransfer::move(path, target, name);
        else
            moved.nameTaken = true;
        if (moved.ok) {
            (kind == Kind::raw ? counts.raw : counts.jpg) += 1;
            (kind == Kind::raw ? movedRaw : movedJpg) = true;
        } else if (moved.nameTaken) {
            Log::line(QStringLiteral("⚠️ [跳过] 重复文件: ") + name);
            ++counts.skip;
        } else {
            Log::line(QStringLiteral("❌ [移动失败] ") + name + QStringLiteral(": ") + moved.error);
            ++counts.failed;
            // The folder's own line already says why its files failed.
            if (kind == Kind::raw ? rawReady : jpgReady)
                counts.noteFailure(name, moved.error);
        }
    });
    // The new names reach the disk before the pass says it is done.
    if (movedRaw)
        Paths::syncDirectory(rawDir);
    if (movedJpg)
        Paths::syncDirectory(jpgDir);
    counts.currentFileName.clear();
    Q_EMIT finished(counts);
}
