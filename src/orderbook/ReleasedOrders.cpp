#include "ReleasedOrders.h"

#include "orderbook/OrderCodec.h"
#include "orderbook/OrderbookKeys.h"
#include "platform/UserDefaults.h"

ReleasedOrders::ReleasedOrders(UserDefaults& defaults)
    : m_defaults(defaults)
{
}

QList<QUuid> ReleasedOrders::read() const
{
    QList<QUuid> out;
    for (const QVariant& v : m_defaults.array(QString(OrderbookKeys::calendarReleasedOrders)).value_or(QVariantList())) {
        if (const std::optional<QUuid> id = OrderCodec::parseUuid(v.toString()))
            out.append(*id);
    }
    return out;
}

bool ReleasedOrders::write(const QList<QUuid>& ids)
{
    QVariantList stored;
    stored.reserve(ids.size());
    for (const QUuid& id : ids)
        stored.append(OrderCodec::uuidText(id));
    return m_defaults.set(QString(OrderbookKeys::calendarReleasedOrders), stored.isEmpty() ? QVariant() : QVariant(stored));
}

QSet<QUuid> ReleasedOrders::ids() const
{
    const QList<QUuid> list = read();
    return QSet<QUuid>(list.cbegin(), list.cend());
}

bool ReleasedOrders::contains(const QString& orderId) const
{
    const std::optional<QUuid> id = orderId.isEmpty() ? std::nullopt : OrderCodec::parseUuid(orderId);
    return id && read().contains(*id);
}

bool ReleasedOrders::add(const QList<QUuid>& ids)
{
    const QList<QUuid> before = read();
    QList<QUuid> list = before;
    QSet<QUuid> adding;
    for (const QUuid& id : ids) {
        if (!id.isNull())
            adding.insert(id);
    }
    // Let go again is let go last: it moves to the newest end.
    list.removeIf([&adding](const QUuid& id) { return adding.contains(id); });
    for (const QUuid& id : ids) {
        if (adding.remove(id))
            list.append(id);
    }
    if (list.size() > limit)
        list.remove(0, list.size() - limit);
    return list != before && write(list);
}

bool ReleasedOrders::lift(const QSet<QUuid>& ids)
{
    QList<QUuid> list = read();
    const qsizetype before = list.size();
    list.removeIf([&ids](const QUuid& id) { return ids.contains(id); });
    return list.size() != before && write(list);
}
