#include "ScheduleOrderFlows.h"

#include "orderbook/CalendarEventParser.h"
#include "orderbook/CalendarSyncManager.h"
#include "orderbook/Money.h"
#include "orderbook/OrderManager.h"
#include "platform/Log.h"

#include <QPointer>

ScheduleOrderFlows::ScheduleOrderFlows(OrderManager& orders, CalendarSyncManager& sync, QObject* parent)
    : QObject(parent)
    , m_orders(orders)
    , m_sync(sync)
{
}

QString ScheduleOrderFlows::saveRefusedMessage()
{
    return QStringLiteral("订单未保存：该订单已被删除或内容无效");
}

bool ScheduleOrderFlows::saveOrder(const Order& order, bool isEdit)
{
    // The calendar's side of the change waits before the order is stored: the
    // app ending in between leaves it to the next start, never an order
    // without its event, nor an order switched off whose event stays.
    QStringList leaving;
    if (isEdit && !order.syncToCalendar) {
        QList<Order> versions{order};
        if (const std::optional<Order> stored = m_orders.order(order.id))
            versions.append(*stored);
        leaving = m_sync.eventsOf(versions);
    }
    const bool intentKept = order.syncToCalendar && m_sync.keepWriteIntent(order.id);
    const QStringList removalsKept = m_sync.keepRemovalIntent(leaving);
    const bool stored = isEdit ? m_orders.updateOrder(order) : m_orders.addOrder(order);
    if (!stored) {
        if (intentKept)
            m_sync.withdrawWriteIntent(order.id);
        m_sync.withdrawRemovalIntent(removalsKept);
        Log::line(QStringLiteral("⚠️ [档期] ") + saveRefusedMessage() + QStringLiteral("：") + order.customerName);
        return false;
    }
    if (order.syncToCalendar) {
        // The sync may answer after this screen closed; the stores live on.
        OrderManager* orders = &m_orders;
        CalendarSyncManager* sync = &m_sync;
        const QUuid id = order.id;
        m_sync.syncOrder(order, [orders, sync, id](const std::optional<QString>& identifier) {
            if (!identifier)
                return;
            if (orders->setCalendarEventIdentifiers({{id, *identifier}}) == 0)
                sync->deleteEvent(*identifier);
        });
        return true;
    }
    if (isEdit) {
        m_sync.withdrawWriteIntent(order.id);
        m_sync.deleteEvents(leaving);
        // No longer synced: nothing keeps its reminders right any more.
        m_sync.removeLocalNotifications(order.id);
    }
    return true;
}

QString ScheduleOrderFlows::importMessage(const std::optional<ShootEvent>& event)
{
    if (!event)
        return QStringLiteral("是否将此日历事件导入为订单？");
    const ParsedOrderFields p = CalendarEventParser::parse(*event);
    auto shown = [](const QString& text) { return text.isEmpty() ? QStringLiteral("-") : text; };
    const QString deposit
        = p.depositAmount > 0 ? Money::wholeYuan(p.depositAmount) + QStringLiteral("元") : QStringLiteral("-");
    return QStringLiteral("检测到以下信息：\n\n姓名：") + shown(p.customerName) + QStringLiteral("\n套系：")
        + shown(p.packageType) + QStringLiteral("\n定金：") + deposit + QStringLiteral("\n联系电话：") + shown(p.phone)
        + QStringLiteral("\n拍摄地点：") + shown(p.location);
}

bool ScheduleOrderFlows::importEvent(const ShootEvent& event)
{
    const std::optional<Order> order = m_sync.importEventAsOrder(event);
    if (!order || !m_orders.addOrder(*order))
        return false;
    m_sync.refreshEvents();
    return true;
}
