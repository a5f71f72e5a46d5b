#include "SetAsideFiles.h"

#include <QMutex>

namespace {
QMutex mutex;
QList<SetAsideFiles::Entry> entries;
}

void SetAsideFiles::record(Kind kind, const QString& original, const QString& copy)
{
    QMutexLocker lock(&mutex);
    entries.append({kind, original, copy});
}

QList<SetAsideFiles::Entry> SetAsideFiles::all()
{
    QMutexLocker lock(&mutex);
    return entries;
}

int SetAsideFiles::count(Kind kind, const QString& original)
{
    QMutexLocker lock(&mutex);
    return int(std::count_if(entries.cbegin(), entries.cend(),
                             [&](const Entry& e) { return e.kind == kind && e.original == original; }));
}

void SetAsideFiles::clear()
{
    QMutexLocker lock(&mutex);
    entries.clear();
}
