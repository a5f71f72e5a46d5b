#include "InMemoryCalendarStore.h"

InMemoryCalendarStore::InMemoryCalendarStore(QObject* parent)
    : CalendarStore(parent)
{
    m_sources.append(CalendarSource{QStringLiteral("local"), CalendarSourceType::Local, QStringLiteral("本地")});
}

QList<CalendarSource> InMemoryCalendarStore::sources() const
{
    return m_sources;
}

QList<CalendarInfo> InMemoryCalendarStore::calendars() const
{
    return m_current.calendars;
}

std::optional<CalendarInfo> InMemoryCalendarStore::defaultCalendarForNewEvents() const
{
    if (auto c = calendar(m_defaultCalendar))
        return c;
    if (m_current.calendars.isEmpty())
        return std::nullopt;
    return m_current.calendars.first();
}

bool InMemoryCalendarStore::saveCalendar(CalendarInfo& calendar, bool commit, QString* error)
{
    if (failIfAsked(error))
        return false;
    if (calendar.title.trimmed().isEmpty()) {
        setError(error, QStringLiteral("日历名称不能为空"));
        return false;
    }
    if (calendar.identifier.isEmpty())
        calendar.identifier = newIdentifier();
    if (calendar.source.identifier.isEmpty() && !m_sources.isEmpty())
        calendar.source = m_sources.first();
    bool replaced = false;
    for (CalendarInfo& c : m_current.calendars) {
        if (c.identifier == calendar.identifier) {
            c = calendar;
            replaced = true;
        }
    }
    if (!replaced)
        m_current.calendars.append(calendar);
    finish(commit);
    return true;
}

std::optional<CalendarEvent> InMemoryCalendarStore::event(const QString& identifier) const
{
    auto it = m_current.events.constFind(identifier);
    if (it == m_current.events.constEnd())
        return std::nullopt;
    return *it;
}

QList<CalendarEvent> InMemoryCalendarStore::events(const QDateTime& start, const QDateTime& end,
                                                   const QStringList& calendarIdentifiers) const
{
    QList<CalendarEvent> out;
    for (const CalendarEvent& e : m_current.events) {
        if (!calendarIdentifiers.isEmpty() && !calendarIdentifiers.contains(e.calendarIdentifier))
            continue;
        if (overlaps(e, start, end))
            out.append(e);
    }
    sortEvents(out);
    return out;
}

bool InMemoryCalendarStore::saveEvent(CalendarEvent& event, bool commit, QString* error)
{
    if (failIfAsked(error) || !validateEvent(event, error))
        return false;
    if (!calendar(event.calendarIdentifier)) {
        setError(error, QStringLiteral("事件所属的日历不存在"));
        return false;
    }
    normalizeTimes(event);
    if (event.identifier.isEmpty())
        event.identifier = newIdentifier();
    m_current.events.insert(event.identifier, event);
    finish(commit);
    return true;
}

bool InMemoryCalendarStore::removeEvent(const QString& identifier, bool commit, QString* error)
{
    if (failIfAsked(error))
        return false;
    if (!m_current.events.remove(identifier)) {
        setError(error, QStringLiteral("找不到要删除的日历事件"));
        return false;
    }
    finish(commit);
    return true;
}

bool InMemoryCalendarStore::commit(QString* error)
{
    if (failIfAsked(error))
        return false;
    if (m_commitFailure) {
        setError(error, *m_commitFailure);
        return false;
    }
    if (!(m_committed == m_current)) {
        m_committed = m_current;
        ++m_commitCount;
    }
    return true;
}

void InMemoryCalendarStore::reset()
{
    m_current = m_committed;
}

void InMemoryCalendarStore::editFromOutside(const std::function<void(InMemoryCalendarStore&)>& edit)
{
    edit(*this);
    commit();
    Q_EMIT changed();
}

bool InMemoryCalendarStore::failIfAsked(QString* error) const
{
    if (!m_failure)
        return false;
    setError(error, *m_failure);
    return true;
}

void InMemoryCalendarStore::finish(bool commitNow)
{
    if (commitNow)
        commit();
}
