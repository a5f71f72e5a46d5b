#pragma once

#include "platform/CalendarStore.h"
#include "TestEnv.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

// File and calendar helpers for the platform tests; the file helpers stand in
// for another program editing our folders.
namespace PlatformTestFiles {

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

// Rewrites a file in place (truncate and write), making its folder if needed.
inline void rewriteInPlace(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

inline QStringList entries(const QString& folder, const QString& nameFilter = "*")
{
    return QDir(folder).entryList({nameFilter}, QDir::Files, QDir::Name);
}

// The contents of every file in `folder` matching `nameFilter`: the copies a
// store kept aside.
inline QByteArrayList asideCopies(const QString& folder, const QString& nameFilter)
{
    QByteArrayList out;
    for (const QString& name : entries(folder, nameFilter))
        out << read(folder + "/" + name);
    return out;
}

// An iCalendar document from lines joined with CRLF.
inline QByteArray ics(const QStringList& lines)
{
    return lines.join("\r\n").toUtf8() + "\r\n";
}

inline QString calendarFolder()
{
    return TestEnv::dataHome() + "/Kelvara/calendars";
}

inline QDateTime at(int y, int mo, int d, int h, int mi = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi));
}

inline CalendarInfo shootCalendar(CalendarStore& store, const QString& title = "拍摄档期")
{
    CalendarInfo cal;
    cal.title = title;
    cal.color = QColor("#CD5B2B");
    QString error;
    EXPECT_TRUE(store.saveCalendar(cal, true, &error)) << error.toStdString();
    return cal;
}

inline CalendarEvent makeEvent(const CalendarInfo& cal, const QString& title, const QDateTime& start, int hours = 2)
{
    CalendarEvent e;
    e.calendarIdentifier = cal.identifier;
    e.title = title;
    e.startDate = start;
    e.endDate = start.addSecs(hours * 3600);
    return e;
}

// Gives the stored event `uid` a new title and saves it.
inline void retitle(CalendarStore& store, const QString& uid, const QString& title)
{
    CalendarEvent e = *store.event(uid);
    e.title = title;
    EXPECT_TRUE(store.saveEvent(e));
}

}
