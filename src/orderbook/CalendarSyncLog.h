#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// The calendar sync's debug log, "calendar_sync.log" in the data folder.
//
// It holds customer names, so it is private to the user (mode 0600). Lines
// come from the main thread and from notification callbacks; one lock keeps
// them whole. Past `kMaxBytes` the file moves to "<name>.1" (replacing the
// older one) and a new file starts, so the log never grows without bound.
// The file stays open between lines (a batch sync writes thousands); each
// line still goes to the file with one unbuffered write, and a file removed
// or moved away meanwhile is reopened. Failures are silent: the log must
// never break a sync.
class CalendarSyncLog
{
public:
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    explicit CalendarSyncLog(const QString& filePath);
    ~CalendarSyncLog();
    CalendarSyncLog(const CalendarSyncLog&) = delete;
    CalendarSyncLog& operator=(const CalendarSyncLog&) = delete;

    QString filePath() const { return m_path; }
    QString rotatedPath() const { return m_path + QStringLiteral(".1"); }

    // How the log writes a moment: UTC with its offset, "2025-03-09 12:30:00 +0000".
    static QString dateText(const QDateTime& moment);

    // Appends "[" + localized short date and medium time + "] " + message + LF.
    void append(const QString& message) const;
    // Lines appended from hold() until release() are written at release, in
    // as few writes as the rotation allows: a batch sync logs tens of
    // thousands. Lines that two files' worth of later lines would rotate
    // away are not held.
    void hold() const;
    void release() const;
    // What is held now, in bytes.
    qint64 heldBytes() const;

private:
    bool openFile() const;
    void closeFile() const;
    // Writes whole lines, rotating before a line that would pass the bound.
    void writeLines(const QList<QByteArray>& lines) const;

    QString m_path;
    QByteArray m_nativePath;
    // The open file and its inode, guarded by the log's lock.
    mutable int m_fd = -1;
    mutable quint64 m_inode = 0;
    mutable bool m_holding = false;
    mutable QList<QByteArray> m_held;
    mutable qint64 m_heldBytes = 0;
};
