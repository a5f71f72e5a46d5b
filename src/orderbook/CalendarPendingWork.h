#pragma once

#include <QHash>
#include <QList>
#include <QStringList>
#include <QUuid>

#include <functional>

class UserDefaults;

// Calendar work asked for but not yet done: orders whose event could not be
// written, and events that could not be removed (the calendar refused, or an
// order was deleted while the sync was off or without access). Stored as one
// dictionary, so a restart forgets none of it; the calendar sync retries it
// at every refresh. Events listed for removal are never shown or imported.
class CalendarPendingWork
{
public:
    explicit CalendarPendingWork(UserDefaults& defaults);

    QList<QUuid> orders() const;
    QStringList removals() const;
    int size() const { return int(orders().size() + removals().size()); }
    // The event each waiting order's write was to make: the service may have
    // made it after all, so the next write takes it up instead of a second one.
    QHash<QUuid, QString> intendedEvents() const;

    // Each returns whether the stored list changed. Dropping orders drops
    // their intended events.
    bool addOrders(const QList<QUuid>& ids, const QHash<QUuid, QString>& intendedEvents = {});
    bool dropOrders(const QList<QUuid>& ids);
    bool addRemovals(const QStringList& eventIds);
    bool dropRemovals(const QStringList& eventIds);

private:
    struct Lists {
        QList<QUuid> orders;
        QStringList removals;
        QHash<QUuid, QString> events;
    };
    Lists read() const;
    // Applies `edit` to the stored lists; whether they changed.
    bool change(const std::function<void(Lists&)>& edit);
    bool write(const Lists& lists, const Lists& before);

    UserDefaults& m_defaults;
};
