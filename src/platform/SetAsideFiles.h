#pragma once

#include <QList>
#include <QString>

// Files found unreadable and moved aside so that nothing writes over them.
// The stores record each one here; the window tells the user once it is up,
// so no data disappears without a word.
namespace SetAsideFiles {
enum class Kind { settings, calendar, reminders };

struct Entry
{
    Kind kind;
    QString original;
    QString copy;
};

// Thread-safe: the reminder list is read from worker threads too.
void record(Kind kind, const QString& original, const QString& copy);
QList<Entry> all();
// How often `original` was set aside as `kind` in this process.
int count(Kind kind, const QString& original);
// Tests start from nothing set aside.
void clear();
}
