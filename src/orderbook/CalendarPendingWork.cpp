#include "CalendarPendingWork.h"

#include "orderbook/OrderCodec.h"
#include "orderbook/OrderbookKeys.h"
#include "platform/UserDefaults.h"

#include <QSet>

namespace {
const QString kOrders = QStringLiteral("orders");
const QString kRemovals = QStringLiteral("removeEvents");
const QString kEvents = QStringLiteral("orderEvents");

bool isBlank(const QUuid& id) { return id.isNull(); }
bool isBlank(const QString& id) { return id.isEmpty(); }

// Lists of thousands (a batch of a whole order book) are met with sets.
template <typename T>
void addTo(QList<T>& list, const QList<T>& items)
{
    QSet<T> known(list.cbegin(), list.cend());
    for (const T& item : items) {
        if (!isBlank(item) && !known.contains(item)) {
            known.insert(item);
            list.append(item);
        }
    }
}

template <typename T>
void dropFrom(QList<T>& list, const QList<T>& items)
{
    if (list.isEmpty())
        return;
    const QSet<T> going(items.cbegin(), items.cend());
    list.removeIf([&going](const T& item) { return going.contains(item); });
}
}

CalendarPendingWork::CalendarPendingWork(UserDefaults& defaults)
    : m_defaults(defaults)
{
    // Earlier versions kept only the removals, under a key of their own.
    const QString old(OrderbookKeys::deletedOrderEvents);
    if (const std::optional<QVariantList> kept = m_defaults.array(old)) {
        QStringList ids;
        for (const QVariant& v : *kept)
            ids.append(v.toString());
        addRemovals(ids);
        m_defaults.remove(old);
    }
}

CalendarPendingWork::Lists CalendarPendingWork::read() const
{
    Lists out;
    const QVariantMap stored = m_defaults.dictionary(QString(OrderbookKeys::pendingCalendarWork)).value_or(QVariantMap());
    for (const QVariant& v : stored.value(kOrders).toList()) {
        if (const std::optional<QUuid> id = OrderCodec::parseUuid(v.toString()))
            out.orders.append(*id);
    }
    for (const QVariant& v : stored.value(kRemovals).toList()) {
        if (!v.toString().isEmpty())
            out.removals.append(v.toString());
    }
    const QVariantMap events = stored.value(kEvents).toMap();
    for (auto it = events.cbegin(); it != events.cend(); ++it) {
        const std::optional<QUuid> id = OrderCodec::parseUuid(it.key());
        if (id && !it.value().toString().isEmpty())
            out.events.insert(*id, it.value().toString());
    }
    return out;
}

bool CalendarPendingWork::write(const Lists& lists, const Lists& before)
{
    if (lists.orders == before.orders && lists.removals == before.removals && lists.events == before.events)
        return false;
    QVariantList orders;
    for (const QUuid& id : lists.orders)
        orders.append(OrderCodec::uuidText(id));
    QVariantMap stored;
    if (!orders.isEmpty())
        stored.insert(kOrders, orders);
    if (!lists.removals.isEmpty())
        stored.insert(kRemovals, QVariant(lists.removals).toList());
    QVariantMap events;
    for (auto it = lists.events.cbegin(); it != lists.events.cend(); ++it)
        events.insert(OrderCodec::uuidText(it.key()), it.value());
    if (!events.isEmpty())
        stored.insert(kEvents, events);
    m_defaults.set(QString(OrderbookKeys::pendingCalendarWork), stored.isEmpty() ? QVariant() : QVariant(stored));
    return true;
}

QList<QUuid> CalendarPendingWork::orders() const
{
    return read().orders;
}

QStringList CalendarPendingWork::removals() const
{
    return read().removals;
}

QHash<QUuid, QString> CalendarPendingWork::intendedEvents() const
{
    return read().events;
}

bool CalendarPendingWork::change(const std::function<void(Lists&)>& edit)
{
    const Lists before = read();
    Lists now = before;
    edit(now);
    return write(now, before);
}

bool CalendarPendingWork::addOrders(const QList<QUuid>& ids, const QHash<QUuid, QString>& intendedEvents)
{
    return !ids.isEmpty() && change([&](Lists& l) {
        addTo(l.orders, ids);
        for (auto it = intendedEvents.cbegin(); it != intendedEvents.cend(); ++it)
            l.events.insert(it.key(), it.value());
    });
}

bool CalendarPendingWork::dropOrders(const QList<QUuid>& ids)
{
    return !ids.isEmpty() && change([&](Lists& l) {
        dropFrom(l.orders, ids);
        for (const QUuid& id : ids)
            l.events.remove(id);
    });
}

bool CalendarPendingWork::addRemovals(const QStringList& eventIds)
{
    return !eventIds.isEmpty() && change([&](Lists& l) { addTo(l.removals, eventIds); });
}

bool CalendarPendingWork::dropRemovals(const QStringList& eventIds)
{
    return !eventIds.isEmpty() && change([&](Lists& l) { dropFrom(l.removals, eventIds); });
}
