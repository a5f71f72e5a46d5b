#include "QuickFilterSamples.h"

#include "FolderWalk.h"

#include "platform/Log.h"

#include <QFile>
#include <QFileInfo>

const QSet<QString>& QuickFilterSamples::rawExtensions()
{
    static const QSet<QString> set{"arw", "cr2", "cr3", "nef", "nrw", "raf", "rw2", "orf", "dng"};
    return set;
}

const QSet<QString>& QuickFilterSamples::jpgExtensions()
{
    // Several camera makers name HEIF files ".HIF".
    static const QSet<QString> set{"jpg", "jpeg", "heic", "heif", "hif"};
    return set;
}

bool QuickFilterSamples::isImage(const QString& fileName)
{
    const QString ext = FolderWalk::lowerExtension(fileName);
    return rawExtensions().contains(ext) || jpgExtensions().contains(ext);
}

QStringList QuickFilterSamples::collectImageFiles(const QString& folder)
{
    QStringList files;
    FolderWalk::walk(
        folder,
        [&](const QByteArray& path, FolderWalk::Type type) {
            if (type != FolderWalk::Type::regular)
                return;
            const QString file = QFile::decodeName(path);
            if (isImage(file.mid(file.lastIndexOf(QLatin1Char('/')) + 1)))
                files.append(file);
        },
        {}, {});
    return files;
}

QList<QuickFilterSamples::Pair> QuickFilterSamples::collect(const QStringList& paths)
{
    QList<Pair> pairs;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.isDir()) {
            const QString name = info.fileName();
            // Only a photo's name can find its camera files.
            if (!isImage(name)) {
                Log::line(QStringLiteral("⚠️ [快速分片] 不是RAW或JPG照片，已忽略: ") + name);
                continue;
            }
            const QString base = FolderWalk::baseName(name);
            Log::line(QStringLiteral("📄 [快速分片] 样例文件: ") + name + QStringLiteral(" → 基础名: ") + base);
            pairs.append({name, base});
            continue;
        }
        const QStringList files = collectImageFiles(path);
        for (const QString& file : files) {
            const QString name = file.mid(file.lastIndexOf(QLatin1Char('/')) + 1);
            pairs.append({name, FolderWalk::baseName(name)});
        }
        Log::line(QStringLiteral("📂 [快速分片] 拖入文件夹: ") + info.fileName() + QStringLiteral("，提取到 ")
                  + QString::number(files.size()) + QStringLiteral(" 张照片"));
    }
    return pairs;
}

namespace {

void addOnce(QStringList& list, QSet<QString>& seen, const QString& value)
{
    if (!seen.contains(value)) {
        seen.insert(value);
        list.append(value);
    }
}

}

void QuickFilterSamples::merge(const QList<Pair>& pairs)
{
    // Sets beside the lists keep a folder of thousands of samples linear.
    QSet<QString> bases(sampleBaseNames.begin(), sampleBaseNames.end());
    QSet<QString> files(sampleFileNames.begin(), sampleFileNames.end());
    QSet<QString> raws(sampleRawBaseNames.begin(), sampleRawBaseNames.end());
    QSet<QString> jpgs(sampleJpgBaseNames.begin(), sampleJpgBaseNames.end());
    for (const Pair& pair : pairs) {
        addOnce(sampleBaseNames, bases, pair.second);
        addOnce(sampleFileNames, files, pair.first);
        const QString ext = FolderWalk::lowerExtension(pair.first);
        if (rawExtensions().contains(ext))
            addOnce(sampleRawBaseNames, raws, pair.second);
        else if (jpgExtensions().contains(ext))
            addOnce(sampleJpgBaseNames, jpgs, pair.second);
    }
    Log::line(QStringLiteral("✅ [快速分片] 已提取 %1 个基础文件名（RAW: %2个 / JPG: %3个）")
                  .arg(sampleBaseNames.size())
                  .arg(sampleRawBaseNames.size())
                  .arg(sampleJpgBaseNames.size()));
}
