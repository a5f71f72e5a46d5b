#pragma once

#include "platform/CalendarStore.h"

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QHash>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>

class IcsCalendarFile;

// The calendar store on Linux: one iCalendar file per calendar in `folder`,
// named after the calendar's identifier ("<identifier>.ics").
//
// Files are written atomically. A file over `kMaxFileSize` is not read (and so
// never written). A file that holds no calendar at all is renamed aside with a
// timestamp; a file that had to be repaired to be read (or could not be kept
// verbatim) is copied aside before its first rewrite (and not rewritten when
// that copy fails), so nothing a user had is overwritten. Outside edits to the folder raise `changed` once, within a
// second; the store's own writes raise nothing.
class IcsCalendarStore : public CalendarStore
{
    Q_OBJECT
public:
    static constexpr qint64 kMaxFileSize = 32 * 1024 * 1024;
    // How long outside edits are gathered before one `changed`.
    static constexpr int kCoalesceMs = 300;

    explicit IcsCalendarStore(const QString& folder, QObject* parent = nullptr);
    ~IcsCalendarStore() override;

    QString folder() const { return m_folder; }
    QString filePath(const QString& calendarIdentifier) const;
    // Number of calendar files written so far.
    int writeCount() const { return m_writeCount; }

    QList<CalendarSource> sources() const override;
    QList<CalendarInfo> calendars() const override;
    std::optional<CalendarInfo> defaultCalendarForNewEvents() const override;
    bool saveCalendar(CalendarInfo& calendar, bool commit = true, QString* error = nullptr) override;

    std::optional<CalendarEvent> event(const QString& identifier) const override;
    QList<CalendarEvent> events(const QDateTime& start, const QDateTime& end,
                                const QStringList& calendarIdentifiers = {}) const override;
    bool saveEvent(CalendarEvent& event, bool commit = true, QString* error = nullptr) override;
    bool removeEvent(const QString& identifier, bool commit = true, QString* error = nullptr) override;
    bool commit(QString* error = nullptr) override;
    void reset() override;

    // Reads the folder again now (what the watcher does after an outside edit).
    // Returns whether anything changed; emits `changed` when it did.
    bool rescan();

private:
    struct Entry;
    Entry* entry(const QString& calendarIdentifier) const;
    Entry* entryOfEvent(const QString& eventIdentifier) const;
    // Reads one file; null when it is too big or holds no calendar (then kept
    // aside, or left alone when `quarantine` is false).
    std::unique_ptr<Entry> load(const QString& path, const QByteArray& bytes, bool quarantine);
    void applyPending(Entry& e);
    void rebuildCache(Entry& e);
    bool write(Entry& e, QString* error);
    bool keepAside(const QString& path, const char* reason, bool copy);
    void watchFiles();
    void scheduleRescan();

    QString m_folder;
    CalendarSource m_source;
    std::map<QString, std::unique_ptr<Entry>> m_entries;
    QFileSystemWatcher m_watcher;
    QTimer m_rescanTimer;
    // Hashes of files that held no calendar at the last look: a second look
    // that finds them unchanged puts them aside (the first may have caught a
    // program halfway through writing).
    QHash<QString, QByteArray> m_unreadable;
    int m_writeCount = 0;
    bool m_mergedOutsideEdit = false;
};
