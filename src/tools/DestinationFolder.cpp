#include "DestinationFolder.h"

#include "AutoImportEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <memory>

DestinationFolder::DestinationFolder(const QString& folder)
    : m_folder(folder)
{
}

void DestinationFolder::load()
{
    m_names.clear();
    m_entries.clear();
    const QStringList entries = QDir(m_folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    m_names = QSet<QString>(entries.begin(), entries.end());
}

DestinationFolder::Entry DestinationFolder::entryOf(const QString& name)
{
    auto it = m_entries.constFind(name);
    if (it != m_entries.constEnd())
        return *it;
    const QFileInfo info(m_folder + QLatin1Char('/') + name);
    Entry entry;
    if (info.isFile() && !info.isSymLink()) {
        entry.size = info.size();
        entry.modified = info.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch();
    }
    m_entries.insert(name, entry);
    return entry;
}

DestinationFolder::Placement DestinationFolder::place(const QString& name, const Source& source)
{
    for (int number = 1; number <= kMaxNumber; ++number) {
        const QString candidate = number == 1 ? name : AutoImportEngine::numberedName(name, number);
        if (!m_names.contains(candidate))
            return {false, candidate};
        const Entry entry = entryOf(candidate);
        if (entry.size != source.size)
            continue;
        if (entry.modified == source.modified
            || sameContents(source.path, m_folder + QLatin1Char('/') + candidate))
            return {true, candidate};
    }
    return {false, QString()};
}

DestinationFolder::Source DestinationFolder::sourceOf(const QString& path)
{
    const QFileInfo info(path);
    return {path, info.size(), info.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch()};
}

DestinationFolder::Put DestinationFolder::put(const QString& name, const Source& source, const Transfer& transfer)
{
    for (;;) {
        const Placement placement = place(name, source);
        if (placement.duplicate)
            return {Outcome::duplicate, placement.name, QString()};
        if (placement.name.isEmpty())
            return {Outcome::failed, QString(), QStringLiteral("同名文件过多，找不到可用的文件名")};
        const SafeFileTransfer::Result result = transfer(placement.name);
        if (result.cancelled)
            return {Outcome::cancelled, QString(), result.error};
        if (result.nameTaken) {
            noteTaken(placement.name);
            continue;
        }
        if (!result.ok)
            return {Outcome::failed, QString(), result.error};
        noteCopied(placement.name, source);
        return {Outcome::placed, placement.name, QString()};
    }
}

void DestinationFolder::noteCopied(const QString& name, const Source& source)
{
    m_names.insert(name);
    m_entries.insert(name, {source.size, source.modified});
}

void DestinationFolder::noteTaken(const QString& name)
{
    m_names.insert(name);
    m_entries.remove(name);
}

bool DestinationFolder::sameContents(const QString& a, const QString& b)
{
    QFile fa(a);
    QFile fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    constexpr qint64 kChunk = 1024 * 1024;
    std::unique_ptr<char[]> ba(new char[kChunk]);
    std::unique_ptr<char[]> bb(new char[kChunk]);
    for (;;) {
        const qint64 na = fa.read(ba.get(), kChunk);
        const qint64 nb = fb.read(bb.get(), kChunk);
        if (na < 0 || nb < 0 || na != nb)
            return false;
        if (na == 0)
            return true;
        if (std::memcmp(ba.get(), bb.get(), size_t(na)) != 0)
            return false;
    }
}
