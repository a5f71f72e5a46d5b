#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringList>

// Small file helpers for the calendar store tests: they stand in for another
// program editing the calendar folder.
namespace CalendarTestFiles {

inline QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Rewrites a file the way most editors do: a new file renamed over the old.
inline void replaceByRename(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    f.commit();
}

// Rewrites a file in place (truncate and write).
inline void rewriteInPlace(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

inline QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// An iCalendar document from lines joined with CRLF.
inline QByteArray ics(const QStringList& lines)
{
    return lines.join("\r\n").toUtf8() + "\r\n";
}

}
