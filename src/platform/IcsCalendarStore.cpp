#include "IcsCalendarStore.h"

#include "IcsCalendarFile.h"
#include "Log.h"
#include "Paths.h"
#include "SetAsideFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

enum class DiskState { Missing, TooBig, Ok };

struct DiskRead {
    DiskState state = DiskState::Missing;
    QByteArray bytes;
};

DiskRead readFile(const QString& path)
{
    QFile f(path);
    if (!f.exists() || !f.open(QIODevice::ReadOnly))
        return {};
    if (f.size() > IcsCalendarStore::kMaxFileSize)
        return {DiskState::TooBig, {}};
    // Sized by the file, not by the bound, with one byte more: what it grew
    // by since size() is read up to one byte past the bound.
    const qint64 size = f.size();
    QByteArray bytes = f.read(size + 1);
    if (bytes.size() > size)
        bytes += f.read(IcsCalendarStore::kMaxFileSize + 1 - bytes.size());
    if (bytes.size() > IcsCalendarStore::kMaxFileSize)
        return {DiskState::TooBig, {}};
    return {DiskState::Ok, bytes};
}

QByteArray hashOf(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
}

QString identifierOf(const QString& path)
{
    return QFileInfo(path).completeBaseName();
}

}

struct IcsCalendarStore::Entry {
    QString identifier;
    QString path;
    std::unique_ptr<IcsCalendarFile> doc;
    // The bytes on disk as last read or written, so our own writes are told
    // from outside edits.
    QByteArray diskHash;
    bool onDisk = false;
    // Repaired when read: the original is copied aside before the first
    // rewrite.
    bool hadErrors = false;
    // Uncommitted changes, kept apart so they can be laid over a newer copy
    // of the file when another program rewrote it meanwhile.
    bool dirty = false;
    QHash<QString, std::optional<QByteArray>> pendingEvents;
    std::optional<CalendarInfo> pendingInfo;
    QHash<QString, CalendarEvent> cache;
};

IcsCalendarStore::IcsCalendarStore(const QString& folder, QObject* parent)
    : CalendarStore(parent)
    , m_folder(QDir::cleanPath(folder))
    , m_source{QStringLiteral("local"), CalendarSourceType::Local, QStringLiteral("本地")}
{
    QDir().mkpath(m_folder);
    const QStringList files = QDir(m_folder).entryList({QStringLiteral("*.ics")}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        const QString path = m_folder + '/' + name;
        const DiskRead r = readFile(path);
        if (r.state == DiskState::TooBig) {
            Log::line(QStringLiteral("[CalendarStore] 日历文件过大，未读取：") + path);
            continue;
        }
        if (r.state != DiskState::Ok)
            continue;
        if (auto e = load(path, r.bytes, true))
            m_entries[e->identifier] = std::move(e);
    }
    m_rescanTimer.setSingleShot(true);
    connect(&m_rescanTimer, &QTimer::timeout, this, [this] { rescan(); });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { scheduleRescan(); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { scheduleRescan(); });
    m_watcher.addPath(m_folder);
    watchFiles();
}

IcsCalendarStore::~IcsCalendarStore() = default;

QString IcsCalendarStore::filePath(const QString& calendarIdentifier) const
{
    return m_folder + '/' + calendarIdentifier + QStringLiteral(".ics");
}

std::unique_ptr<IcsCalendarStore::Entry> IcsCalendarStore::load(const QString& path, const QByteArray& bytes,
                                                                 bool quarantine)
{
    auto e = std::make_unique<Entry>();
    e->identifier = identifierOf(path);
    e->path = path;
    bool notVerbatim = false;
    e->doc = IcsCalendarFile::parse(bytes, e->identifier, &e->hadErrors, &notVerbatim);
    if (!e->doc) {
        if (quarantine)
            keepAside(path, "corrupt", false);
        return nullptr;
    }
    if (notVerbatim)
        Log::line(QStringLiteral("[CalendarStore] 日历文件无法原样保留，首次写入前将另存原文件：") + path);
    else if (e->hadErrors)
        Log::line(QStringLiteral("[CalendarStore] 日历文件有无法读取的行，已读取其余内容：") + path);
    e->diskHash = hashOf(bytes);
    e->onDisk = true;
    rebuildCache(*e);
    return e;
}

bool IcsCalendarStore::keepAside(const QString& path, const char* reason, bool copy)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path + '.' + QLatin1String(reason) + '-' + stamp;
    for (int n = 1; QFileInfo::exists(target); ++n)
        target = path + '.' + QLatin1String(reason) + '-' + stamp + '-' + QString::number(n);
    bool ok = false;
    if (copy) {
        // Through the checked save: a copy cut short by a full disk would
        // keep only part of the lines it is there to keep.
        QFile original(path);
        ok = original.open(QIODevice::ReadOnly) && Paths::saveAtomically(target, original.readAll()).isEmpty();
    } else {
        ok = QFile::rename(path, target);
        if (ok)
            Paths::syncDirectory(m_folder);
    }
    if (ok) {
        if (!copy)
            SetAsideFiles::record(SetAsideFiles::Kind::calendar, path, target);
        Log::line(QStringLiteral("[CalendarStore] 原日历文件已另存为：") + target);
    } else {
        Log::line(QStringLiteral("[CalendarStore] 无法另存日历文件：") + path);
    }
    return ok;
}

IcsCalendarStore::Entry* IcsCalendarStore::entry(const QString& calendarIdentifier) const
{
    auto it = m_entries.find(calendarIdentifier);
    return it == m_entries.end() ? nullptr : it->second.get();
}

IcsCalendarStore::Entry* IcsCalendarStore::entryOfEvent(const QString& eventIdentifier) const
{
    if (eventIdentifier.isEmpty())
        return nullptr;
    for (const auto& [id, e] : m_entries) {
        if (e->cache.contains(eventIdentifier))
            return e.get();
    }
    for (const auto& [id, e] : m_entries) {
        if (e->doc->contains(eventIdentifier))
            return e.get();
    }
    return nullptr;
}

void IcsCalendarStore::rebuildCache(Entry& e)
{
    e.cache.clear();
    for (const CalendarEvent& ev : e.doc->events(e.identifier)) {
        if (!e.cache.contains(ev.identifier))
            e.cache.insert(ev.identifier, ev);
    }
}

void IcsCalendarStore::applyPending(Entry& e)
{
    for (auto it = e.pendingEvents.cbegin(); it != e.pendingEvents.cend(); ++it)
        e.doc->replaceComponents(it.key(), it.value());
    if (e.pendingInfo) {
        e.doc->setTitle(e.pendingInfo->title);
        e.doc->setColor(e.pendingInfo->color);
    }
}

QList<CalendarSource> IcsCalendarStore::sources() const
{
    return {m_source};
}

QList<CalendarInfo> IcsCalendarStore::calendars() const
{
    QList<CalendarInfo> out;
    for (const auto& [id, e] : m_entries) {
        CalendarInfo info;
        info.identifier = id;
        info.title = e->doc->title();
        if (info.title.isEmpty())
            info.title = id;
        info.color = e->doc->color();
        info.source = m_source;
        out.append(info);
    }
    std::stable_sort(out.begin(), out.end(), [](const CalendarInfo& a, const CalendarInfo& b) {
        return a.title != b.title ? a.title < b.title : a.identifier < b.identifier;
    });
    return out;
}

std::optional<CalendarInfo> IcsCalendarStore::defaultCalendarForNewEvents() const
{
    const QList<CalendarInfo> all = calendars();
    if (all.isEmpty())
        return std::nullopt;
    return all.first();
}

bool IcsCalendarStore::saveCalendar(CalendarInfo& calendar, bool commitNow, QString* error)
{
    if (calendar.title.trimmed().isEmpty()) {
        setError(error, QStringLiteral("日历名称不能为空"));
        return false;
    }
    Entry* e = entry(calendar.identifier);
    if (!e) {
        if (!calendar.identifier.isEmpty()) {
            setError(error, QStringLiteral("要修改的日历不存在"));
            return false;
        }
        calendar.identifier = newIdentifier();
        auto fresh = std::make_unique<Entry>();
        fresh->identifier = calendar.identifier;
        fresh->path = filePath(calendar.identifier);
        fresh->doc = std::make_unique<IcsCalendarFile>();
        e = fresh.get();
        m_entries[calendar.identifier] = std::move(fresh);
    }
    calendar.source = m_source;
    e->doc->setTitle(calendar.title);
    e->doc->setColor(calendar.color);
    e->pendingInfo = calendar;
    e->dirty = true;
    if (!commitNow)
        return true;
    if (commit(error))
        return true;
    reset();
    if (!entry(calendar.identifier))
        calendar.identifier.clear();
    return false;
}

std::optional<CalendarEvent> IcsCalendarStore::event(const QString& identifier) const
{
    for (const auto& [id, e] : m_entries) {
        auto it = e->cache.constFind(identifier);
        if (it != e->cache.constEnd())
            return *it;
    }
    return std::nullopt;
}

QList<CalendarEvent> IcsCalendarStore::events(const QDateTime& start, const QDateTime& end,
                                              const QStringList& calendarIdentifiers) const
{
    // Compared with thousands of events: in local time each comparison
    // would ask the C library for the offset again.
    const QDateTime from = start.toUTC();
    const QDateTime to = end.toUTC();
    QList<CalendarEvent> out;
    for (const auto& [id, e] : m_entries) {
        if (!calendarIdentifiers.isEmpty() && !calendarIdentifiers.contains(id))
            continue;
        for (const CalendarEvent& ev : e->cache) {
            if (overlaps(ev, from, to))
                out.append(ev);
        }
    }
    sortEvents(out);
    return out;
}

bool IcsCalendarStore::saveEvent(CalendarEvent& event, bool commitNow, QString* error)
{
    if (!validateEvent(event, error))
        return false;
    normalizeTimes(event);
    Entry* target = entry(event.calendarIdentifier);
    if (!target) {
        setError(error, QStringLiteral("事件所属的日历不存在"));
        return false;
    }
    const bool isNew = event.identifier.isEmpty();
    if (isNew)
        event.identifier = newIdentifier();
    if (Entry* old = isNew ? nullptr : entryOfEvent(event.identifier); old && old != target) {
        old->doc->removeEvent(event.identifier);
        old->pendingEvents.insert(event.identifier, std::nullopt);
        old->cache.remove(event.identifier);
        old->dirty = true;
    }
    target->doc->putEvent(event);
    target->pendingEvents.insert(event.identifier, target->doc->componentsText(event.identifier));
    if (auto stored = target->doc->event(event.identifier, target->identifier))
        target->cache.insert(event.identifier, *stored);
    target->dirty = true;
    if (!commitNow || commit(error))
        return true;
    reset();
    if (isNew)
        event.identifier.clear();
    return false;
}

bool IcsCalendarStore::removeEvent(const QString& identifier, bool commitNow, QString* error)
{
    Entry* e = entryOfEvent(identifier);
    if (!e) {
        setError(error, QStringLiteral("找不到要删除的日历事件"));
        return false;
    }
    e->doc->removeEvent(identifier);
    e->pendingEvents.insert(identifier, std::nullopt);
    e->cache.remove(identifier);
    e->dirty = true;
    if (!commitNow || commit(error))
        return true;
    reset();
    return false;
}

bool IcsCalendarStore::commit(QString* error)
{
    bool ok = true;
    for (auto& [id, e] : m_entries) {
        if (e->dirty && !write(*e, ok ? error : nullptr))
            ok = false;
    }
    if (m_mergedOutsideEdit) {
        // The outside edit reached us through our own write; callers still
        // need to hear of it, after the save they are in has returned.
        m_mergedOutsideEdit = false;
        QMetaObject::invokeMethod(this, [this] { Q_EMIT changed(); }, Qt::QueuedConnection);
    }
    return ok;
}

void IcsCalendarStore::reset()
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        Entry& e = *it->second;
        if (!e.dirty) {
            ++it;
            continue;
        }
        if (!e.onDisk) {
            it = m_entries.erase(it);
            continue;
        }
        const DiskRead r = readFile(e.path);
        std::unique_ptr<IcsCalendarFile> doc;
        bool hadErrors = false;
        if (r.state == DiskState::Ok)
            doc = IcsCalendarFile::parse(r.bytes, e.identifier, &hadErrors);
        if (!doc) {
            // Gone or unreadable meanwhile: the next look at the folder sorts it out.
            it = m_entries.erase(it);
            continue;
        }
        e.doc = std::move(doc);
        e.diskHash = hashOf(r.bytes);
        e.hadErrors = hadErrors;
        e.pendingEvents.clear();
        e.pendingInfo.reset();
        e.dirty = false;
        rebuildCache(e);
        ++it;
    }
}

bool IcsCalendarStore::write(Entry& e, QString* error)
{
    if (e.onDisk) {
        const DiskRead r = readFile(e.path);
        if (r.state == DiskState::TooBig) {
            setError(error, QStringLiteral("日历文件过大，未写入：") + e.path);
            return false;
        }
        if (r.state == DiskState::Ok && hashOf(r.bytes) != e.diskHash) {
            // Another program rewrote the file since we read it: lay our
            // changes over its version rather than writing over it.
            bool hadErrors = false;
            m_mergedOutsideEdit = true;
            if (auto doc = IcsCalendarFile::parse(r.bytes, e.identifier, &hadErrors)) {
                e.doc = std::move(doc);
                e.hadErrors = hadErrors;
                applyPending(e);
                rebuildCache(e);
            } else if (keepAside(e.path, "corrupt", false)) {
                e.hadErrors = false;
            } else {
                setError(error, QStringLiteral("无法另存无法读取的日历文件，未写入：") + e.path);
                return false;
            }
        }
        // Without a copy of the original its unreadable lines would be lost.
        if (e.hadErrors && QFileInfo::exists(e.path)) {
            if (!keepAside(e.path, "broken", true)) {
                setError(error, QStringLiteral("无法备份日历文件，未写入：") + e.path);
                return false;
            }
            e.hadErrors = false;
        }
    }
    const QByteArray bytes = e.doc->serialize();
    // The folder may have been removed from outside meanwhile: saving makes it again.
    if (const QString failure = Paths::saveAtomically(e.path, bytes); !failure.isEmpty()) {
        setError(error, QStringLiteral("无法写入日历文件：") + failure);
        return false;
    }
    ++m_writeCount;
    e.diskHash = hashOf(bytes);
    e.onDisk = true;
    e.dirty = false;
    e.pendingEvents.clear();
    e.pendingInfo.reset();
    // The rename replaced the watched file: watch the new one.
    m_watcher.removePath(e.path);
    m_watcher.addPath(e.path);
    return true;
}

bool IcsCalendarStore::rescan()
{
    bool changedAny = false;
    QSet<QString> seen;
    const QStringList files = QDir(m_folder).entryList({QStringLiteral("*.ics")}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        const QString path = m_folder + '/' + name;
        const QString id = identifierOf(path);
        Entry* e = entry(id);
        const DiskRead r = readFile(path);
        if (r.state == DiskState::Missing)
            continue;
        if (r.state == DiskState::TooBig) {
            if (e && e->onDisk) {
                // Grown past what we read: stop serving it, never write it.
                m_entries.erase(id);
                changedAny = true;
            }
            continue;
        }
        seen.insert(id);
        const QByteArray hash = hashOf(r.bytes);
        if (e && e->onDisk && hash == e->diskHash)
            continue;
        bool hadErrors = false;
        std::unique_ptr<IcsCalendarFile> doc = IcsCalendarFile::parse(r.bytes, id, &hadErrors);
        if (!doc) {
            if (m_unreadable.value(path) == hash) {
                m_unreadable.remove(path);
                keepAside(path, "corrupt", false);
                seen.remove(id);
            } else {
                m_unreadable.insert(path, hash);
                m_rescanTimer.start(1000);
            }
            continue;
        }
        m_unreadable.remove(path);
        if (!e) {
            auto fresh = std::make_unique<Entry>();
            fresh->identifier = id;
            fresh->path = path;
            e = fresh.get();
            m_entries[id] = std::move(fresh);
        }
        e->doc = std::move(doc);
        e->hadErrors = hadErrors;
        e->diskHash = hash;
        e->onDisk = true;
        applyPending(*e);
        rebuildCache(*e);
        changedAny = true;
        // The file may be a new one renamed into place while the old one is
        // still held open elsewhere (so still listed as watched): watch it anew.
        m_watcher.removePath(path);
        m_watcher.addPath(path);
    }
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second->onDisk && !seen.contains(it->first)) {
            it = m_entries.erase(it);
            changedAny = true;
        } else {
            ++it;
        }
    }
    watchFiles();
    if (changedAny)
        Q_EMIT changed();
    return changedAny;
}

void IcsCalendarStore::watchFiles()
{
    const QStringList watched = m_watcher.files();
    QSet<QString> wanted;
    for (const auto& [id, e] : m_entries) {
        if (e->onDisk && QFileInfo::exists(e->path))
            wanted.insert(e->path);
    }
    for (const QString& path : watched) {
        if (!wanted.contains(path))
            m_watcher.removePath(path);
    }
    for (const QString& path : wanted) {
        if (!watched.contains(path))
            m_watcher.addPath(path);
    }
    if (!m_watcher.directories().contains(m_folder))
        m_watcher.addPath(m_folder);
}

void IcsCalendarStore::scheduleRescan()
{
    if (!m_rescanTimer.isActive())
        m_rescanTimer.start(kCoalesceMs);
}
