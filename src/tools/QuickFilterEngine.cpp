#include "QuickFilterEngine.h"

#include "DestinationFolder.h"
#include "FolderWalk.h"
#include "QuickFilterKeywords.h"
#include "QuickFilterSamples.h"
#include "SafeFileTransfer.h"

#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/ProcessActivity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QuickFilterEngine::QuickFilterEngine(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<QuickFilterCounts>();
    qRegisterMetaType<QuickFilterOutcome>();
}

QString QuickFilterEngine::matchedKeyword(const QString& fileName, const QSet<QString>& keywords)
{
    if (!QuickFilterSamples::isImage(fileName))
        return QString();
    const QString upper = FolderWalk::baseName(fileName).toUpper();
    if (keywords.contains(upper))
        return upper;
    // The last four characters, counted in code points, all numbers.
    const QList<uint> codePoints = upper.toUcs4();
    if (codePoints.size() < 4)
        return QString();
    const QString suffix = QString::fromUcs4(reinterpret_cast<const char32_t*>(codePoints.constData())
                                                 + codePoints.size() - 4,
                                             4);
    return QuickFilterKeywords::isNumeric(suffix) && keywords.contains(suffix) ? suffix : QString();
}

QString QuickFilterEngine::modeText(Mode mode)
{
    return mode == Mode::move ? QStringLiteral("移动") : QStringLiteral("复制");
}

QString QuickFilterEngine::outputFolderPath(const QString& source, const QDate& date)
{
    const QString parent = QFileInfo(QDir::cleanPath(source)).absolutePath();
    const QString name = QString::fromUtf8(kOutputPrefix) + QStringLiteral("%1.%2").arg(date.month()).arg(date.day());
    return parent.endsWith(QLatin1Char('/')) ? parent + name : parent + QLatin1Char('/') + name;
}

QStringList QuickFilterEngine::missingKeywords(const QSet<QString>& keywords, const QSet<QString>& found)
{
    QSet<QString> missing = keywords - found;
    missing.removeIf([](const QString& keyword) { return QuickFilterKeywords::isExtensionOnly(keyword); });
    return QuickFilterKeywords::sorted(missing);
}

QByteArray QuickFilterEngine::missingListBytes(const QStringList& missing)
{
    QByteArray bytes = QStringLiteral("以下素材在目标文件夹中未找到对应的RAW原图：\n"
                                      "（请检查这些文件名是否在素材文件夹中存在）\n")
                           .toUtf8();
    bytes += QByteArray(36, '-') + '\n';
    for (const QString& name : missing)
        bytes += name.toUtf8() + '\n';
    return bytes;
}

QStringList QuickFilterEngine::scan(const QString& source, QuickFilterCounts* counts)
{
    QStringList files;
    FolderWalk::walk(
        source,
        [&](const QByteArray& path, FolderWalk::Type type) {
            if (type == FolderWalk::Type::regular)
                files.append(QFile::decodeName(path));
        },
        [](const QByteArray&, const QByteArray& name) {
            const QString folder = QFile::decodeName(name);
            if (!folder.startsWith(QString::fromUtf8(kOutputPrefix)))
                return true;
            Log::line(QStringLiteral("📁 [快速分片] 跳过输出目录: ") + folder);
            return false;
        },
        [&](const QByteArray& path, int error) {
            const QString cause = FolderWalk::errorText(error);
            Log::line(QStringLiteral("⚠️ [快速分片] 权限警告: ") + QFile::decodeName(path) + QStringLiteral(" - ")
                      + cause + QStringLiteral("，继续扫描"));
            ++counts->failed;
            counts->noteFailure(QFile::decodeName(path), QStringLiteral("无法读取，") + cause);
        });
    return files;
}

void QuickFilterEngine::writeMissingList(const QString& output, const QStringList& missing,
                                         QuickFilterCounts* counts)
{
    if (missing.isEmpty()) {
        Log::line(QStringLiteral("✅ [缺失清单] 所有关键词均找到匹配，无缺失素材，不生成txt文件"));
        return;
    }
    const QString path = output + QLatin1Char('/') + QString::fromUtf8(kMissingListName);
    if (const QString failure = Paths::saveAtomically(path, missingListBytes(missing), {.makeFolder = false});
        !failure.isEmpty()) {
        Log::line(QStringLiteral("❌ [缺失清单] 写入失败: ") + failure);
        // The user asked for the list: a run without it has not finished.
        ++counts->failed;
        counts->noteFailure(QString::fromUtf8(kMissingListName), QStringLiteral("无法写入，") + failure);
        return;
    }
    Log::line(QStringLiteral("📄 [缺失清单] 已生成缺失清单: ") + path + QStringLiteral("，共 ")
              + QString::number(missing.size()) + QStringLiteral(" 个"));
}

void QuickFilterEngine::logEnd(const QuickFilterOutcome& outcome)
{
    if (outcome.outputFailed) {
        Log::line(QStringLiteral("❌ [快速分片] 输出目录创建失败，任务已安全终止"));
        return;
    }
    const QuickFilterCounts& c = outcome.counts;
    // As the panel says: a run with failed files is not done.
    if (c.failed > 0)
        Log::line(QStringLiteral("❌ [快速分片] 未完成：命中 %1个，跳过重复 %2个，失败 %3个")
                      .arg(c.match)
                      .arg(c.skip)
                      .arg(c.failed));
    else
        Log::line(QStringLiteral("✅ [快速分片] 完成：命中 %1个，跳过重复 %2个").arg(c.match).arg(c.skip));
    Log::line(QStringLiteral("✅ [快速分片] 输出位置: ") + outcome.outputPath);
    // A client's pick list delivered short must not pass unnoticed.
    if (!outcome.missing.isEmpty())
        Log::line(QStringLiteral("⚠️ [快速分片] 名单中有 %1 个名称未找到对应文件: ").arg(outcome.missing.size())
                  + QuickFilterKeywords::listText(outcome.missing));
}

void QuickFilterEngine::run(const Options& options)
{
    ProcessActivity activity(QString::fromUtf8(kActivityReason));
    // Linux has no security-scoped access: it is always granted.
    Log::line(QStringLiteral("🔐 [快速分片] 素材文件夹安全访问: true"));

    QuickFilterOutcome outcome;
    QuickFilterCounts& counts = outcome.counts;
    bool stopped = false; // at quit, between two files
    const QStringList files = scan(options.source, &counts);
    Log::line(QStringLiteral("📂 [快速分片] 素材文件夹扫描完成，共 ") + QString::number(files.size())
              + QStringLiteral(" 个文件"));
    Q_EMIT scanFinished(int(files.size()));

    const QString output = outputFolderPath(options.source, options.date);
    outcome.outputPath = output;
    const QString outputError = SafeFileTransfer::makeFolders(output);
    if (!outputError.isEmpty()) {
        Log::line(QStringLiteral("❌ [快速分片] 创建输出目录失败: ") + outputError);
        counts.noteFailure(output, QStringLiteral("无法创建文件夹，") + outputError);
        outcome.outputFailed = true;
    } else {
        Log::line(QStringLiteral("📁 [快速分片] 输出目录: ") + output);
        // A crash in an earlier run may have left a part copy here.
        SafeFileTransfer::removeLeftovers(output);
        // Clients' names repeat across cards and bodies: a name already in
        // the folder is a duplicate only when it is the same file.
        DestinationFolder dest(output);
        dest.load();
        const QString mode = modeText(options.mode);
        QSet<QString> found;
        bool wrote = false;
        for (const QString& path : files) {
            if (m_stop.load()) {
                stopped = true;
                break;
            }
            const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
            counts.currentFileName = name;
            if (m_progress.put(counts))
                Q_EMIT progressed();
            ++counts.processed;
            const QString keyword = matchedKeyword(name, options.keywords);
            if (keyword.isEmpty())
                continue;
            Log::line(QStringLiteral("🎯 [快速分片] 命中: ") + name + QStringLiteral(" (基础名: ")
                      + FolderWalk::baseName(name) + QStringLiteral(", 关键词: ") + keyword + QLatin1Char(')'));
            found.insert(keyword);
            const DestinationFolder::Put put
                = dest.put(name, DestinationFolder::sourceOf(path), [&](const QString& target) {
                      return options.mode == Mode::move ? SafeFileTransfer::move(path, output, target)
                                                        : SafeFileTransfer::copy(path, output, target);
                  });
            if (put.outcome == DestinationFolder::Outcome::placed) {
                ++counts.match;
                wrote = true;
                Log::line(QStringLiteral("✅ [快速分片] 成功") + mode + QStringLiteral(": ") + name);
                if (put.name != name)
                    Log::line(QStringLiteral("⚠️ [快速分片] ") + name + QStringLiteral(" 与已有同名文件不同，另存为 ")
                              + put.name);
            } else if (put.outcome == DestinationFolder::Outcome::duplicate) {
                ++counts.skip;
                Log::line(QStringLiteral("⚠️ [快速分片] 跳过重复: ") + name);
            } else {
                ++counts.failed;
                counts.noteFailure(name, put.error);
                Log::line(QStringLiteral("❌ [快速分片] ") + mode + QStringLiteral("失败: ") + name
                          + QStringLiteral(" - ") + put.error);
            }
        }
        if (wrote)
            Paths::syncDirectory(output);
        if (!stopped) {
            outcome.missing = missingKeywords(options.keywords, found);
            if (options.missingListEnabled && options.missingListEnabled())
                writeMissingList(output, outcome.missing, &counts);
        }
    }
    counts.currentFileName.clear();
    // Here rather than where the screen takes the outcome: a run the screen
    // let go of ("返回") still reports how it ended.
    if (!stopped)
        logEnd(outcome);
    Q_EMIT finished(outcome);
    Log::line(QStringLiteral("🔐 [快速分片] 已释放安全访问"));
}
