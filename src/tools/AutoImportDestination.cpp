#include "AutoImportDestination.h"

#include "AutoImportEngine.h"

#include <QDir>
#include <QFileInfo>

AutoImportDestination::AutoImportDestination(const QString& folder)
    : m_folder(folder)
{
}

void AutoImportDestination::load()
{
    m_names.clear();
    m_sizes.clear();
    const QStringList entries = QDir(m_folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    m_names = QSet<QString>(entries.begin(), entries.end());
}

qint64 AutoImportDestination::sizeOf(const QString& name)
{
    auto it = m_sizes.constFind(name);
    if (it != m_sizes.constEnd())
        return *it;
    const QFileInfo info(m_folder + QLatin1Char('/') + name);
    const qint64 size = (info.isFile() && !info.isSymLink()) ? info.size() : -1;
    m_sizes.insert(name, size);
    return size;
}

AutoImportDestination::Placement AutoImportDestination::place(const QString& name, qint64 size)
{
    for (int number = 1; number <= kMaxNumber; ++number) {
        const QString candidate = number == 1 ? name : AutoImportEngine::numberedName(name, number);
        if (!m_names.contains(candidate))
            return {false, candidate};
        if (sizeOf(candidate) == size)
            return {true, candidate};
    }
    return {false, QString()};
}

void AutoImportDestination::noteCopied(const QString& name, qint64 size)
{
    m_names.insert(name);
    m_sizes.insert(name, size);
}

void AutoImportDestination::noteTaken(const QString& name)
{
    m_names.insert(name);
    m_sizes.remove(name);
}
