// CalendarSyncManager, third part: events of the dedicated calendar turned
// back into orders, and the events of deleted orders kept from coming back.

#include "CalendarSyncManager.h"

#include "orderbook/BackupManager.h"
#include "orderbook/CalendarEventParser.h"
#include "orderbook/OrderManager.h"
#include "orderbook/OrderbookKeys.h"
#include "platform/CalendarStore.h"
#include "platform/UserDefaults.h"

#include <QPointer>
#include <QTimer>

void CalendarSyncManager::publishRefreshedEvents(QList<ShootEvent> events)
{
    const QSet<QString> hidden = removeDeletedOrderEvents() + deletedOrderEvents();
    events.removeIf([&hidden](const ShootEvent& e) { return hidden.contains(e.id); });
    setShootEvents(events);
    autoImportEvents(events);
}

QSet<QString> CalendarSyncManager::deletedOrderEvents() const
{
    QSet<QString> ids = m_deletedOrderEvents;
    const QVariantList pending = m_defaults.array(QString(OrderbookKeys::deletedOrderEvents)).value_or(QVariantList());
    for (const QVariant& id : pending)
        ids.insert(id.toString());
    return ids;
}

void CalendarSyncManager::forgetDeletedOrderEvents(const QStringList& identifiers)
{
    if (identifiers.isEmpty())
        return;
    for (const QString& id : identifiers)
        m_deletedOrderEvents.insert(id);
    QList<ShootEvent> left = m_shootEvents;
    left.removeIf([this](const ShootEvent& e) { return m_deletedOrderEvents.contains(e.id); });
    setShootEvents(left);
}

std::optional<Order> CalendarSyncManager::importEventAsOrder(const ShootEvent& event) const
{
    if (m_orders.hasOrderWithCalendarEventIdentifier(event.id) || deletedOrderEvents().contains(event.id)
        || !m_eventStore.event(event.id))
        return std::nullopt;
    return orderFromEvent(event, CalendarEventParser::parse(event), true);
}

Order CalendarSyncManager::orderFromEvent(const ShootEvent& event, const ParsedOrderFields& p, bool manual) const
{
    QList<PaymentRecord> payments;
    if (p.depositAmount > 0)
        payments.append(PaymentRecord(p.depositAmount, QDateTime::currentDateTime(),
                                      manual ? QStringLiteral("定金（从日历导入）") : QStringLiteral("定金（从日历自动导入）")));

    QStringList note;
    if (!p.location.isEmpty())
        note.append(QStringLiteral("拍摄地点：") + p.location);
    // The order's event is rewritten in this app's format; text the user
    // typed into it lives on in the order's note.
    if (!CalendarEventParser::isOwnNotes(event.notes)) {
        if (!event.title.isEmpty())
            note.append(QStringLiteral("原日历标题：") + event.title);
        if (event.notes && !event.notes->isEmpty())
            note.append(QStringLiteral("原日历备注：") + *event.notes);
    }

    // Only the automatic road keeps the parsed status; a manual import with a
    // deposit counts as booked.
    const OrderStatus status = manual && p.depositAmount > 0 ? OrderStatus::pendingShoot : p.status;
    Order order(p.customerName, p.phone, p.packageType.isEmpty() ? QStringLiteral("其他") : p.packageType,
                event.startDate, event.startDate, ShootTimeSlot::afternoon, 0, p.depositAmount, payments,
                note.join(u'\n'), status, true,
                m_defaults.value(OrderbookKeys::reminderDefault), QString(),
                false);
    order.calendarEventIdentifier = event.id;
    return order;
}

void CalendarSyncManager::autoImportEvents(const QList<ShootEvent>& events)
{
    if (!m_calendarSyncEnabled)
        return;
    QSet<QString> taken = deletedOrderEvents();
    for (const Order& o : m_orders.orders()) {
        if (o.calendarEventIdentifier)
            taken.insert(*o.calendarEventIdentifier);
    }

    QList<Order> found;
    for (const ShootEvent& event : events) {
        if (taken.contains(event.id))
            continue;
        const ParsedOrderFields p = CalendarEventParser::parse(event);
        // The list was read before this step was queued; an event removed
        // since (its order deleted meanwhile) must not come back.
        if (!p.hasValidData || p.customerName.isEmpty() || !m_eventStore.event(event.id))
            continue;
        taken.insert(event.id);
        found.append(orderFromEvent(event, p, false));
    }
    if (found.isEmpty())
        return;
    // One save for the whole pass: a calendar of thousands of events must not
    // rewrite the order list thousands of times.
    const BackupManager::AutomaticOrderChange automatic;
    const QList<Order> added = m_orders.addOrders(found);
    QList<QUuid> ids;
    for (const Order& o : added) {
        logDebug(QStringLiteral("自动导入日历事件为订单：") + o.customerName + QStringLiteral("，事件ID：")
                 + *o.calendarEventIdentifier);
        ids.append(o.id);
    }
    // Each event is rewritten in the app's format half a second later, from
    // the order as it is stored then: an order deleted meanwhile stays gone.
    QTimer::singleShot(500, this, [this, ids] {
        QList<Order> current;
        for (const QUuid& id : ids) {
            if (const std::optional<Order> o = m_orders.order(id))
                current.append(*o);
        }
        if (!current.isEmpty())
            batchSyncAllOrders(current, {});
    });
}

void CalendarSyncManager::rememberUndeletedEvents(const QStringList& identifiers)
{
    const bool allowed = m_calendarSyncEnabled && m_permissionGranted;
    QVariantList pending = m_defaults.array(QString(OrderbookKeys::deletedOrderEvents)).value_or(QVariantList());
    const qsizetype before = pending.size();
    for (const QString& id : identifiers) {
        if (id.isEmpty() || pending.contains(id) || (allowed && !m_eventStore.event(id)))
            continue;
        pending.append(id);
    }
    if (pending.size() != before) {
        logDebug(QStringLiteral("已删除订单的日历事件暂未移除，待权限恢复后移除：%1 条").arg(pending.size() - before));
        m_defaults.set(QString(OrderbookKeys::deletedOrderEvents), pending);
    }
}

QSet<QString> CalendarSyncManager::removeDeletedOrderEvents()
{
    const QVariantList pending = m_defaults.array(QString(OrderbookKeys::deletedOrderEvents)).value_or(QVariantList());
    if (pending.isEmpty() || !m_calendarSyncEnabled || !m_permissionGranted)
        return {};
    QStringList ids;
    for (const QVariant& v : pending)
        ids.append(v.toString());
    deleteEvents(ids);
    QVariantList left;
    QSet<QString> gone;
    for (const QString& id : ids) {
        if (m_eventStore.event(id))
            left.append(id);
        else
            gone.insert(id);
    }
    m_defaults.set(QString(OrderbookKeys::deletedOrderEvents), left.isEmpty() ? QVariant() : QVariant(left));
    return gone;
}
