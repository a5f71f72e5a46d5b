// CalendarSyncManager, third part: events of the dedicated calendar turned
// back into orders, and the events of deleted orders kept from coming back.

#include "CalendarSyncManager.h"

#include "orderbook/BackupManager.h"
#include "orderbook/CalendarEventParser.h"
#include "orderbook/OrderCodec.h"
#include "orderbook/OrderManager.h"
#include "orderbook/OrderbookKeys.h"
#include "platform/CalendarStore.h"
#include "platform/UserDefaults.h"

#include <QPointer>
#include <QHash>
#include <QTimer>

#include <algorithm>

void CalendarSyncManager::publishRefreshedEvents(QList<ShootEvent> events)
{
    followRestoredBook(events);
    removeReturnedEvents(events);
    removeStrayEvents(events);
    retryPendingWork();
    // What waits for removal is no order's to take back.
    const QSet<QString> going = deletedOrderEvents();
    events.removeIf([&going](const ShootEvent& e) { return going.contains(e.id); });
    const QSet<QString> copies = tieEventsToOrders(events);
    events.removeIf([&copies](const ShootEvent& e) { return copies.contains(e.id); });
    setShootEvents(events);
    autoImportEvents(events);
}

void CalendarSyncManager::followRestoredBook(const QList<ShootEvent>& events)
{
    const QString key(OrderbookKeys::calendarRestoreFollowUp);
    const std::optional<QVariantMap> followUp = m_defaults.dictionary(key);
    // Followed only against a calendar read now: a silent service answers
    // "no such event" for every event the replaced book held.
    if (!followUp || !m_calendarSyncEnabled || !m_permissionGranted || !calendarServiceProblem().isEmpty())
        return;
    const QStringList heldBefore = followUp->value(QStringLiteral("heldEvents")).toStringList();
    const QStringList ordersBefore = followUp->value(QStringLiteral("orders")).toStringList();
    QSet<QString> heldNow;
    QSet<QUuid> book;
    QList<QUuid> rewrite;
    for (const Order& o : m_orders.orders()) {
        book.insert(o.id);
        if (o.calendarEventIdentifier)
            heldNow.insert(*o.calendarEventIdentifier);
        if (o.syncToCalendar)
            rewrite.append(o.id);
    }
    // The orders the restore took away are let go like deleted ones; those
    // it brought back are the book's again.
    QList<QUuid> takenAway;
    for (const QString& text : ordersBefore) {
        if (const std::optional<QUuid> id = OrderCodec::parseUuid(text); id && !book.contains(*id))
            takenAway.append(*id);
    }
    m_released.add(takenAway);
    m_released.lift(book);
    QStringList removals;
    for (const QString& id : heldBefore) {
        if (!heldNow.contains(id) && m_eventStore.event(id))
            removals.append(id);
    }
    // Events the replaced book's orders had in the making name them.
    const QSet<QString> replaced(ordersBefore.cbegin(), ordersBefore.cend());
    for (const ShootEvent& e : events) {
        if (!heldNow.contains(e.id) && replaced.contains(e.orderId) && !namesStoredOrder(e.orderId))
            removals.append(e.id);
    }
    removals.removeDuplicates();
    // The restored orders hold their events again, so no delete of this
    // session hides them; a removal still waiting for one is void while its
    // order asks for the calendar (retryPendingWork), and goes on otherwise.
    m_deletedOrderEvents.subtract(heldNow);
    // Kept as waiting work before the marker goes: a restart half-way loses none.
    m_pending.addOrders(rewrite);
    m_pending.addRemovals(removals);
    m_defaults.remove(key);
    m_restoreOrders = QSet<QUuid>(rewrite.cbegin(), rewrite.cend());
    m_restoreRemovals = QSet<QString>(removals.cbegin(), removals.cend());
    logDebug(QStringLiteral("按恢复的备份对齐日历：%1 个订单的事件待写入，%2 个事件待移除").arg(rewrite.size()).arg(removals.size()));
    Q_EMIT pendingWorkChanged();
}

int CalendarSyncManager::pendingRestoreWork() const
{
    if (m_restoreOrders.isEmpty() && m_restoreRemovals.isEmpty())
        return 0;
    int count = 0;
    for (const QUuid& id : m_pending.orders())
        count += m_restoreOrders.contains(id) ? 1 : 0;
    for (const QString& id : m_pending.removals())
        count += m_restoreRemovals.contains(id) ? 1 : 0;
    return count;
}

QSet<QString> CalendarSyncManager::tieEventsToOrders(const QList<ShootEvent>& events)
{
    if (std::none_of(events.cbegin(), events.cend(), [](const ShootEvent& e) { return !e.orderId.isEmpty(); }))
        return {};
    const QList<Order>& all = m_orders.orders();
    QSet<QString> held;
    held.reserve(all.size());
    for (const Order& o : all) {
        if (o.calendarEventIdentifier)
            held.insert(*o.calendarEventIdentifier);
    }
    // Most events are the ones their orders hold: nothing to settle.
    if (std::none_of(events.cbegin(), events.cend(),
                     [&held](const ShootEvent& e) { return !e.orderId.isEmpty() && !held.contains(e.id); }))
        return {};
    QHash<QString, const Order*> named;
    named.reserve(all.size());
    for (const Order& o : all)
        named.insert(OrderCodec::uuidText(o.id), &o);
    // An order has one event: the one it holds stays; an order whose event
    // is gone takes the first that names it; any other naming it is a copy
    // (left by a session on another store) and goes.
    QHash<QUuid, QString> adopted;
    QStringList copies;
    for (const ShootEvent& e : events) {
        const auto it = e.orderId.isEmpty() ? named.constEnd() : named.constFind(e.orderId);
        if (it == named.constEnd())
            continue;
        const Order& o = **it;
        const QString held = adopted.value(o.id, o.calendarEventIdentifier.value_or(QString()));
        if (held == e.id)
            continue;
        if (!held.isEmpty() && m_eventStore.event(held)) {
            copies.append(e.id);
            continue;
        }
        adopted.insert(o.id, e.id);
    }
    if (!adopted.isEmpty()) {
        const BackupManager::AutomaticOrderChange automatic;
        m_orders.setCalendarEventIdentifiers(adopted);
        for (auto it = adopted.cbegin(); it != adopted.cend(); ++it)
            logDebug(QStringLiteral("订单 ") + OrderCodec::uuidText(it.key()) + QStringLiteral(" 关联到日历事件：") + it.value());
    }
    if (!copies.isEmpty()) {
        logDebug(QStringLiteral("移除重复的订单日历事件：%1 条").arg(copies.size()));
        deleteEvents(copies);
    }
    return QSet<QString>(copies.cbegin(), copies.cend());
}

bool CalendarSyncManager::namesStoredOrder(const QString& orderId) const
{
    const std::optional<QUuid> id = orderId.isEmpty() ? std::nullopt : OrderCodec::parseUuid(orderId);
    return id && m_orders.order(*id);
}

void CalendarSyncManager::removeStrayEvents(const QList<ShootEvent>& events)
{
    QSet<QUuid> book, off;
    QSet<QString> heldOn, heldOff;
    for (const Order& o : m_orders.orders()) {
        book.insert(o.id);
        if (!o.syncToCalendar)
            off.insert(o.id);
        if (o.calendarEventIdentifier)
            (o.syncToCalendar ? heldOn : heldOff).insert(*o.calendarEventIdentifier);
    }
    QSet<QUuid> released = m_released.ids();
    // An order the book holds is never let go, whatever a kill left stored.
    if (released.intersects(book)) {
        m_released.lift(book);
        released.subtract(book);
    }
    if (released.isEmpty() && off.isEmpty())
        return;
    const QSet<QString> waiting = deletedOrderEvents();
    QStringList stray;
    for (const ShootEvent& e : events) {
        if (heldOn.contains(e.id) || waiting.contains(e.id))
            continue;
        const std::optional<QUuid> named = e.orderId.isEmpty() ? std::nullopt : OrderCodec::parseUuid(e.orderId);
        if (heldOff.contains(e.id) || (named && (off.contains(*named) || released.contains(*named))))
            stray.append(e.id);
    }
    if (stray.isEmpty())
        return;
    logDebug(QStringLiteral("日历中有已删除或已关闭日历提醒的订单的事件，移除：%1 条").arg(stray.size()));
    pendingWorkFailed({}, stray, {});
}

QSet<QString> CalendarSyncManager::deletedOrderEvents() const
{
    QSet<QString> ids = m_deletedOrderEvents;
    for (const QString& id : m_pending.removals())
        ids.insert(id);
    return ids;
}

void CalendarSyncManager::removeReturnedEvents(const QList<ShootEvent>& events)
{
    if (m_deletedOrderEvents.isEmpty())
        return;
    const QStringList waiting = m_pending.removals();
    QStringList back;
    for (const ShootEvent& e : events) {
        if (m_deletedOrderEvents.contains(e.id) && !waiting.contains(e.id)
            && !m_orders.hasOrderWithCalendarEventIdentifier(e.id) && !namesStoredOrder(e.orderId))
            back.append(e.id);
    }
    if (back.isEmpty())
        return;
    // Gone from this computer was taken for gone from the server, but the
    // service brought the server's copy back (it may drop a removal it kept
    // offline when it reconnects): it waits for its removal again, so it is
    // counted, removed once more, and never met by a later start as an event
    // no order holds.
    logDebug(QStringLiteral("已删除订单的日历事件又出现在日历中，重新移除：%1 条").arg(back.size()));
    pendingWorkFailed({}, back, {});
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
    if (m_orders.hasOrderWithCalendarEventIdentifier(event.id) || deletedOrderEvents().contains(event.id))
        return std::nullopt;
    // An event written for an order of the book is that order's, never a
    // second one; one naming an order the book let go is a leftover.
    const std::optional<CalendarEvent> stored = m_eventStore.event(event.id);
    if (!stored || namesStoredOrder(stored->orderIdentifier) || m_released.contains(stored->orderIdentifier))
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
    const QSet<QUuid> released = m_released.ids();
    auto namesReleased = [&released](const QString& orderId) {
        const std::optional<QUuid> id = orderId.isEmpty() ? std::nullopt : OrderCodec::parseUuid(orderId);
        return id && released.contains(*id);
    };

    QList<Order> found;
    for (const ShootEvent& event : events) {
        if (taken.contains(event.id) || namesStoredOrder(event.orderId) || namesReleased(event.orderId))
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
    // With access, the removal itself kept what the calendar refused.
    if (m_calendarSyncEnabled && m_permissionGranted)
        return;
    QStringList left = identifiers;
    left.removeAll(QString());
    if (left.isEmpty())
        return;
    logDebug(QStringLiteral("已删除订单的日历事件暂未移除，待权限恢复后移除：%1 条").arg(left.size()));
    pendingWorkFailed({}, left, {});
}

void CalendarSyncManager::retryPendingWork()
{
    if (!m_calendarSyncEnabled || !m_permissionGranted)
        return;
    QStringList removals = m_pending.removals();
    if (!removals.isEmpty()) {
        // A removal kept for an order the disk never let go (the app ended
        // before its delete was stored) is void while the order holds the
        // event and asks for the calendar.
        QSet<QString> held;
        for (const Order& o : m_orders.orders()) {
            if (o.syncToCalendar && o.calendarEventIdentifier)
                held.insert(*o.calendarEventIdentifier);
        }
        QStringList kept;
        for (const QString& id : std::as_const(removals)) {
            if (held.contains(id))
                kept.append(id);
        }
        pendingWorkDone({}, kept);
        removals.removeIf([&held](const QString& id) { return held.contains(id); });
    }
    if (!removals.isEmpty()) {
        deleteEvents(removals);
        QStringList gone;
        // Gone from this computer is not gone from the server while it is out
        // of reach, and not read is not gone while the service does not answer.
        const bool answered = calendarServerProblem().isEmpty() && calendarServiceProblem().isEmpty();
        for (const QString& id : removals) {
            if (answered && !m_eventStore.event(id))
                gone.append(id);
        }
        // Gone for good: a refresh read before the removal must not show them again.
        for (const QString& id : std::as_const(gone))
            m_deletedOrderEvents.insert(id);
        pendingWorkDone({}, gone);
    }

    QList<Order> due;
    QList<QUuid> obsolete;
    for (const QUuid& id : m_pending.orders()) {
        const std::optional<Order> o = m_orders.order(id);
        if (!o || !o->syncToCalendar)
            obsolete.append(id);
        else if (!m_syncingOrderIds.contains(id))
            due.append(*o);
    }
    pendingWorkDone(obsolete, {});
    if (due.isEmpty())
        return;
    m_log.hold();
    int kept = 0;
    const std::optional<int> saved = writeOrders(due, false, kept);
    logDebug(QStringLiteral("重试写入日历，成功: %1/%2").arg(saved.value_or(0)).arg(kept));
    m_log.release();
    // Only a retry that wrote something refreshes: one that failed waits for
    // the next refresh, so nothing retries in a loop.
    if (saved.value_or(0) > 0)
        refreshEvents();
}

void CalendarSyncManager::pendingWorkFailed(const QList<QUuid>& orders, const QStringList& removals, const QString& cause)
{
    if (orders.isEmpty() && removals.isEmpty())
        return;
    bool changed = m_pending.addOrders(orders);
    changed = m_pending.addRemovals(removals) || changed;
    // A service that does not answer, or a server out of reach, is the
    // cause, whatever the write's own message.
    const QString service = calendarServiceProblem();
    const QString server = service.isEmpty() ? calendarServerProblem() : service;
    const QString why = server.isEmpty() ? cause : server;
    if (!why.isEmpty() && why != m_lastFailure) {
        m_lastFailure = why;
        changed = true;
    }
    if (changed)
        Q_EMIT pendingWorkChanged();
}

void CalendarSyncManager::pendingWorkDone(const QList<QUuid>& orders, const QStringList& removals)
{
    bool changed = m_pending.dropOrders(orders);
    changed = m_pending.dropRemovals(removals) || changed;
    if (changed && m_pending.size() == 0)
        m_lastFailure.clear();
    if (changed && (!m_restoreOrders.isEmpty() || !m_restoreRemovals.isEmpty()) && pendingRestoreWork() == 0) {
        logDebug(QStringLiteral("日历已按恢复的备份对齐：写入 %1 个事件，移除 %2 个事件")
                     .arg(m_restoreOrders.size())
                     .arg(m_restoreRemovals.size()));
        m_restoreOrders.clear();
        m_restoreRemovals.clear();
    }
    if (changed)
        Q_EMIT pendingWorkChanged();
}

bool CalendarSyncManager::pendingWorkWritten(const QList<QUuid>& orders, const QStringList& removals,
                                             const QStringList& writtenEvents)
{
    // The events written are their orders' again: no earlier removal may take them.
    pendingWorkDone({}, writtenEvents);
    if (orders.isEmpty() && removals.isEmpty())
        return true;
    const QString problem = calendarServerProblem();
    if (problem.isEmpty()) {
        pendingWorkDone(orders, removals);
        return true;
    }
    logDebug(QStringLiteral("日历服务器无法连接，%1 项改动暂存在本机，服务器恢复后同步: ").arg(orders.size() + removals.size())
             + problem);
    pendingWorkFailed(orders, removals, problem);
    return false;
}

QString CalendarSyncManager::calendarServiceProblem() const
{
    return m_eventStore.serviceProblem();
}

QString CalendarSyncManager::calendarServerProblem() const
{
    return m_dedicatedCalendar ? m_eventStore.serverProblem(m_dedicatedCalendar->identifier) : QString();
}
