// CalendarSyncManager, second part: orders written to events, their alarms
// and local reminder notifications, and the removal of both.

#include "CalendarSyncManager.h"

#include "orderbook/BackupManager.h"
#include "orderbook/LocalCalendar.h"
#include "orderbook/Money.h"
#include "orderbook/OrderCodec.h"
#include "orderbook/OrderManager.h"
#include "platform/CalendarStore.h"
#include "platform/LocalTimeConverter.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"

#include <QHash>
#include <QPointer>

#include <utility>

namespace {

// Rules step at most this many units: far past any date a calendar forms, and
// small enough that hours times 3600 never overflows.
constexpr qint64 kMaxRuleValue = qint64(1) << 40;

const QString kNotificationPrefix = QStringLiteral("order_");
const QString kNotificationInfix = QStringLiteral("_reminder_");

// The order id inside one of our notification identifiers.
std::optional<QUuid> orderIdOfNotification(const QString& identifier)
{
    if (!identifier.startsWith(kNotificationPrefix))
        return std::nullopt;
    const QString rest = identifier.mid(kNotificationPrefix.size());
    if (rest.size() < 36 || !rest.mid(36).startsWith(kNotificationInfix))
        return std::nullopt;
    return OrderCodec::parseUuid(rest.left(36));
}

// The rules with their trigger times as instants showing local time, which
// read the same: kept in local time, every alarm of a batch asked the C
// library for the offset again (and glibc looks at /etc/localtime each time).
QList<ReminderRule> withLocalTriggers(QList<ReminderRule> rules)
{
    const LocalTimeConverter clock = LocalTimeConverter::current();
    for (ReminderRule& rule : rules) {
        if (rule.triggerTime && rule.triggerTime->isValid())
            rule.triggerTime = clock.local(*rule.triggerTime);
    }
    return rules;
}

}

// --- Formats ---

std::optional<QDateTime> CalendarSyncManager::calculateAlarmDate(const ReminderRule& rule, const QDateTime& shootDate)
{
    if (!shootDate.isValid() || rule.value > kMaxRuleValue || rule.value < -kMaxRuleValue)
        return std::nullopt;
    const LocalTimeConverter clock = LocalTimeConverter::current();
    const QDateTime shoot = clock.local(shootDate);
    QDateTime alarm;
    switch (rule.unit) {
    case ReminderUnit::hour:
        alarm = clock.local(shoot.addSecs(-rule.value * 3600));
        break;
    case ReminderUnit::minute:
        alarm = clock.local(shoot.addSecs(-rule.value * 60));
        break;
    case ReminderUnit::day: {
        const QDate day = shoot.date().addDays(-rule.value);
        if (!day.isValid())
            return std::nullopt;
        QTime at(9, 0);
        if (rule.triggerTime && rule.triggerTime->isValid()) {
            const QTime t = clock.local(*rule.triggerTime).time();
            at = QTime(t.hour(), t.minute());
        }
        alarm = clock.dateTime(day, at);
        break;
    }
    }
    if (!alarm.isValid())
        return std::nullopt;
    return alarm;
}

std::optional<QDateTime> CalendarSyncManager::shootStart(const Order& order)
{
    if (!order.shootDate.isValid() || !order.shootTime.isValid())
        return std::nullopt;
    const LocalTimeConverter clock = LocalTimeConverter::current();
    const QTime t = clock.local(order.shootTime).time();
    const QDateTime start = clock.dateTime(LocalCalendar::dayOf(order.shootDate), QTime(t.hour(), t.minute()));
    if (!start.isValid())
        return std::nullopt;
    return start;
}

QString CalendarSyncManager::eventTitle(const Order& order)
{
    const QString title = order.customerName + QStringLiteral(" - ") + order.packageType;
    return order.status == OrderStatus::cancelled ? QStringLiteral("【已取消】") + title : title;
}

QString CalendarSyncManager::eventNotes(const Order& order)
{
    QString notes = order.customerName + QLatin1Char('-')
        + (order.phone.isEmpty() ? QStringLiteral("无电话") : order.phone) + QStringLiteral("-定金")
        + Money::wholeYuan(order.depositAmount);
    if (!order.note.isEmpty())
        notes += QLatin1Char('\n') + order.note;
    return notes;
}

QString CalendarSyncManager::notificationIdentifier(const QUuid& orderId, int ruleIndex)
{
    return kNotificationPrefix + OrderCodec::uuidText(orderId) + kNotificationInfix + QString::number(ruleIndex);
}

// --- Orders to events ---

void CalendarSyncManager::syncOrder(const Order& order, EventCompletion completion)
{
    auto finish = [&completion](const std::optional<QString>& identifier) {
        if (completion)
            completion(identifier);
    };
    if (!m_calendarSyncEnabled) {
        logDebug(QStringLiteral("同步订单跳过：日历同步总开关已关闭"));
        // Nothing keeps its reminders in step with the order any more.
        removeLocalNotifications(order.id);
        finish(std::nullopt);
        return;
    }
    if (m_syncingOrderIds.contains(order.id)) {
        logDebug(QStringLiteral("订单 ") + OrderCodec::uuidText(order.id) + QStringLiteral(" 正在同步中，跳过本次调用"));
        finish(std::nullopt);
        return;
    }
    if (!m_permissionGranted) {
        QPointer<CalendarSyncManager> self(this);
        requestPermission([self, order, completion](bool granted) {
            if (!granted) {
                if (completion)
                    completion(std::nullopt);
                return;
            }
            if (self)
                self->syncOrder(order, completion);
        });
        return;
    }

    m_syncingOrderIds.insert(order.id);
    // Waiting work before the calendar is asked anything: a kill, a crash or
    // a service that stops answering leaves it to the next start or refresh.
    if (m_pending.addOrders({order.id}))
        Q_EMIT pendingWorkChanged();
    Reminders reminders;
    std::optional<QString> identifier = writeEvent(getDedicatedCalendar(), order, reminderRules(), reminders,
                                                   {}, m_pending.intendedEvents().value(order.id));
    QHash<QUuid, QString> made;
    if (identifier && order.calendarEventIdentifier != *identifier)
        made.insert(order.id, *identifier);
    if (identifier && !commitWrites({order.id}, made))
        identifier.reset();
    if (identifier) {
        applyReminders(reminders);
        pendingWorkWritten({order.id}, {}, {*identifier});
        refreshEvents();
    } else {
        // Kept to be written at the next refresh; the banner tells why.
        pendingWorkFailed({order.id}, {}, m_lastWriteError);
    }
    m_syncingOrderIds.remove(order.id);
    finish(identifier);
}

bool CalendarSyncManager::commitWrites(const QList<QUuid>& orders, const QHash<QUuid, QString>& events)
{
    // The event each write is to make is recorded before the calendar hears
    // of it: a write cut short is sent again into the event it may have made.
    if (m_pending.addOrders(orders, events))
        Q_EMIT pendingWorkChanged();
    QString error;
    if (m_eventStore.commit(&error))
        return true;
    logFailure(error);
    m_lastWriteError = error;
    m_eventStore.reset();
    return false;
}

std::optional<QString> CalendarSyncManager::writeEvent(const std::optional<CalendarInfo>& calendar, const Order& order,
                                                       const QList<ReminderRule>& rules, Reminders& reminders,
                                                       const QSet<QString>& avoid,
                                                       const QString& intended)
{
    if (!calendar) {
        logDebug(QStringLiteral("无法获取专属日历，同步失败"));
        m_lastWriteError = QStringLiteral("无法获取专属日历");
        return std::nullopt;
    }

    CalendarEvent event;
    std::optional<CalendarEvent> existing;
    if (order.calendarEventIdentifier && !avoid.contains(*order.calendarEventIdentifier))
        existing = m_eventStore.event(*order.calendarEventIdentifier);
    if (!existing && !intended.isEmpty() && !avoid.contains(intended))
        existing = m_eventStore.event(intended);
    if (existing) {
        event = *existing;
        logDebug(QStringLiteral("直接修改已有日历事件：") + event.identifier);
    } else {
        logDebug(QStringLiteral("新建日历事件"));
        // Under the identifier a write cut short was to give it; a new one
        // is given by the save, before anything is sent.
        if (!avoid.contains(intended))
            event.identifier = intended;
    }
    event.title = eventTitle(order);
    event.notes = eventNotes(order);
    event.allDay = false;
    // Alarms of earlier syncs go; the user's own stay.
    event.alarms.removeIf([](const CalendarAlarm& a) { return a.addedByApp; });

    // The order's reminders are rebuilt from scratch: a rescheduled or
    // cancelled order keeps none of its old ones.
    Reminders mine;
    mine.withdraw.append(order.id);
    if (const std::optional<QDateTime> start = shootStart(order)) {
        event.startDate = *start;
        const QDateTime end = start->addSecs(2 * 3600);
        event.endDate = end.isValid() ? end : *start;
        if (*start <= QDateTime::currentDateTimeUtc()) {
            logDebug(QStringLiteral("订单拍摄时间为过去时间，跳过添加提醒"));
        } else if (order.status == OrderStatus::cancelled) {
            logDebug(QStringLiteral("订单已取消，不添加提醒"));
        } else {
            addCustomAlarms(event, *start, rules);
            if (localNotificationEnabled())
                scheduleLocalNotification(order, *start, rules, mine);
        }
    }
    event.calendarIdentifier = calendar->identifier;
    // Names its order, so no other session's store or import takes it for a new one.
    event.orderIdentifier = OrderCodec::uuidText(order.id);

    QString error;
    if (!m_eventStore.saveEvent(event, false, &error)) {
        logFailure(error);
        m_lastWriteError = error;
        return std::nullopt;
    }
    reminders.withdraw += mine.withdraw;
    reminders.add += mine.add;
    reminders.labels += mine.labels;
    if (event.identifier.isEmpty())
        return std::nullopt;
    return event.identifier;
}

void CalendarSyncManager::addCustomAlarms(CalendarEvent& event, const QDateTime& shootDate,
                                          const QList<ReminderRule>& rules)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const ReminderRule& rule : rules) {
        const std::optional<QDateTime> alarm = calculateAlarmDate(rule, shootDate);
        if (!alarm || *alarm <= now)
            continue;
        event.addAlarm(CalendarAlarm::atDate(*alarm));
        logDebug(QStringLiteral("添加日历提醒: ") + rule.label() + QStringLiteral("，时间: ") + CalendarSyncLog::dateText(*alarm));
    }
}

bool CalendarSyncManager::deleteEvent(const QString& identifier)
{
    return deleteEvents({identifier}) == 1;
}

int CalendarSyncManager::deleteEvents(const QStringList& identifiers)
{
    if (!m_calendarSyncEnabled || !m_permissionGranted)
        return 0;
    QStringList wanted = identifiers;
    wanted.removeAll(QString());
    // Recorded before the calendar is asked anything, as a write is.
    if (m_pending.addRemovals(wanted))
        Q_EMIT pendingWorkChanged();
    QStringList going, refused, absent;
    QString error;
    for (const QString& identifier : std::as_const(wanted)) {
        if (!m_eventStore.event(identifier))
            absent.append(identifier);
        else
            (m_eventStore.removeEvent(identifier, false, &error) ? going : refused).append(identifier);
    }
    // Nothing to remove where the calendar answers and holds no such event.
    if (calendarServiceProblem().isEmpty() && calendarServerProblem().isEmpty())
        pendingWorkDone({}, absent);
    if (!going.isEmpty() && !m_eventStore.commit(&error)) {
        m_eventStore.reset();
        refused += std::exchange(going, {});
    }
    if (!refused.isEmpty()) {
        if (calendarServiceProblem().isEmpty())
            logDebug(QStringLiteral("删除日历事件失败: ") + error);
        else
            logFailure(error);
        pendingWorkFailed({}, refused, error);
    }
    pendingWorkWritten({}, going, {});
    return int(going.size());
}

void CalendarSyncManager::batchSyncAllOrders(const QList<Order>& orders, CountCompletion completion)
{
    auto finish = [&completion](int count) {
        if (completion)
            completion(count);
    };
    if (!m_calendarSyncEnabled) {
        logDebug(QStringLiteral("批量同步跳过：日历同步总开关已关闭"));
        finish(0);
        return;
    }
    if (!m_permissionGranted) {
        QPointer<CalendarSyncManager> self(this);
        requestPermission([self, orders, completion](bool granted) {
            if (!granted) {
                if (completion)
                    completion(0);
                return;
            }
            if (self)
                self->batchSyncAllOrders(orders, completion);
        });
        return;
    }

    m_log.hold();
    int kept = 0;
    const int saved = writeOrders(orders, true, kept).value_or(0);
    logDebug(QStringLiteral("批量同步完成，成功: %1/%2").arg(saved).arg(kept));
    m_log.release();
    refreshEvents();
    finish(saved);
}

std::optional<int> CalendarSyncManager::writeOrders(const QList<Order>& orders, bool skipCancelled, int& kept)
{
    const QList<ReminderRule> rules = withLocalTriggers(reminderRules());
    const QHash<QUuid, QString> intended = m_pending.intendedEvents();
    Reminders reminders;
    QHash<QUuid, QString> assigned;
    QSet<QString> taken;
    QList<QUuid> written, failed;
    QStringList writtenEvents;
    // Looked up once the first order needs it, and again only while missing:
    // nothing changes the calendars while the batch runs.
    std::optional<CalendarInfo> calendar;
    kept = 0;
    for (const Order& order : orders) {
        if ((skipCancelled && order.status == OrderStatus::cancelled) || !order.syncToCalendar) {
            reminders.withdraw.append(order.id);
            continue;
        }
        ++kept;
        m_syncingOrderIds.insert(order.id);
        // Two orders holding one event (a copied order) each get their own.
        if (!calendar)
            calendar = getDedicatedCalendar();
        const std::optional<QString> identifier = writeEvent(calendar, order, rules, reminders, taken,
                                                             intended.value(order.id));
        m_syncingOrderIds.remove(order.id);
        if (!identifier) {
            failed.append(order.id);
            continue;
        }
        written.append(order.id);
        writtenEvents.append(*identifier);
        taken.insert(*identifier);
        // Only an event the order does not hold yet needs its name kept.
        if (order.calendarEventIdentifier != *identifier)
            assigned.insert(order.id, *identifier);
    }

    if (!commitWrites(written, assigned)) {
        pendingWorkFailed(written + failed, {}, m_lastWriteError);
        return std::nullopt;
    }
    // The orders know their events before any refresh could take those
    // events for strangers and import them again.
    const BackupManager::AutomaticOrderChange automatic;
    m_orders.setCalendarEventIdentifiers(assigned);
    applyReminders(reminders);
    pendingWorkFailed(failed, {}, m_lastWriteError);
    if (!pendingWorkWritten(written, {}, writtenEvents))
        return 0;
    return int(written.size());
}

bool CalendarSyncManager::keepWriteIntent(const QUuid& orderId)
{
    if (!m_calendarSyncEnabled || !m_pending.addOrders({orderId}))
        return false;
    Q_EMIT pendingWorkChanged();
    return true;
}

void CalendarSyncManager::withdrawWriteIntent(const QUuid& orderId)
{
    pendingWorkDone({orderId}, {});
}

QStringList CalendarSyncManager::eventsOf(const QList<Order>& orders) const
{
    const QHash<QUuid, QString> intended = m_pending.intendedEvents();
    QStringList events;
    for (const Order& order : orders) {
        if (order.calendarEventIdentifier && !order.calendarEventIdentifier->isEmpty())
            events.append(*order.calendarEventIdentifier);
        // The service may still make the event a given-up write asked for.
        if (const QString made = intended.value(order.id); !made.isEmpty())
            events.append(made);
    }
    events.removeDuplicates();
    return events;
}

QStringList CalendarSyncManager::keepRemovalIntent(const QStringList& events)
{
    if (!m_calendarSyncEnabled)
        return {};
    const QStringList waiting = m_pending.removals();
    QStringList kept;
    for (const QString& id : events) {
        if (!id.isEmpty() && !waiting.contains(id))
            kept.append(id);
    }
    if (m_pending.addRemovals(kept))
        Q_EMIT pendingWorkChanged();
    return kept;
}

void CalendarSyncManager::withdrawRemovalIntent(const QStringList& events)
{
    pendingWorkDone({}, events);
}

void CalendarSyncManager::ordersAboutToGo(const QList<Order>& orders, bool going)
{
    const QStringList events = eventsOf(orders);
    QList<QUuid> ids;
    for (const Order& order : orders)
        ids.append(order.id);
    // Kept before the book loses the orders: a kill in between leaves their
    // removal waiting, and whatever event still names them (one a stalled
    // service makes later, one another store kept) is removed where it turns
    // up, never taken for a new booking.
    if (going)
        m_released.add(ids);
    else
        m_released.lift(QSet<QUuid>(ids.cbegin(), ids.cend()));
    if (going ? m_pending.addRemovals(events) : m_pending.dropRemovals(events))
        Q_EMIT pendingWorkChanged();
}

void CalendarSyncManager::ordersDeleted(const QList<Order>& orders)
{
    Reminders reminders;
    QList<QUuid> ids;
    for (const Order& order : orders) {
        reminders.withdraw.append(order.id);
        ids.append(order.id);
    }
    const QStringList events = eventsOf(orders);
    applyReminders(reminders);
    // Their writes are void now; the events those were to make are removed.
    pendingWorkDone(ids, {});
    deleteEvents(events);
    rememberUndeletedEvents(events);
    forgetDeletedOrderEvents(events);
}

// --- Local reminder notifications ---

void CalendarSyncManager::setLocalNotificationEnabled(bool enabled)
{
    m_defaults.set(OrderbookKeys::localNotificationEnabled, enabled);
    if (enabled)
        return;
    // Switched off means no more reminders, also those already scheduled.
    QStringList ours;
    for (const UserNotificationRequest& r : m_notificationCenter.pendingRequests()) {
        if (orderIdOfNotification(r.identifier))
            ours.append(r.identifier);
    }
    m_notificationCenter.removePendingNotificationRequests(ours);
}

void CalendarSyncManager::scheduleLocalNotification(const Order& order, const QDateTime& shootDate,
                                                    const QList<ReminderRule>& rules, Reminders& reminders)
{
    if (!m_notificationPermissionGranted) {
        logDebug(QStringLiteral("通知权限未授予，跳过后台通知"));
        return;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString body = QStringLiteral("拍摄时间：")
        + LocalTimeConverter::current().local(shootDate).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    for (int index = 0; index < rules.size(); ++index) {
        const std::optional<QDateTime> alarm = calculateAlarmDate(rules[index], shootDate);
        if (!alarm || *alarm <= now)
            continue;
        UserNotificationRequest request;
        request.identifier = notificationIdentifier(order.id, index);
        request.title = QStringLiteral("拍摄档期提醒");
        request.subtitle = order.customerName + QStringLiteral(" · ") + order.packageType;
        request.body = body;
        request.defaultSound = true;
        request.trigger = UserNotificationTrigger::matching(*alarm);
        reminders.add.append(request);
        reminders.labels.append(rules[index].label() + QStringLiteral("，时间: ") + CalendarSyncLog::dateText(*alarm));
    }
}

void CalendarSyncManager::removeLocalNotifications(const QUuid& orderId)
{
    Reminders reminders;
    reminders.withdraw.append(orderId);
    applyReminders(reminders);
}

void CalendarSyncManager::applyReminders(const Reminders& reminders)
{
    QStringList identifiers;
    if (!reminders.withdraw.isEmpty()) {
        QHash<QUuid, int> counts;
        for (const QUuid& id : reminders.withdraw)
            counts.insert(id, 0);
        for (const UserNotificationRequest& r : m_notificationCenter.pendingRequests()) {
            const std::optional<QUuid> id = orderIdOfNotification(r.identifier);
            if (id && counts.contains(*id)) {
                identifiers.append(r.identifier);
                ++counts[*id];
            }
        }
        QSet<QUuid> logged;
        for (const QUuid& id : reminders.withdraw) {
            if (!logged.contains(id)) {
                logged.insert(id);
                logDebug(QStringLiteral("移除订单 ") + OrderCodec::uuidText(id) + QStringLiteral(" 的本地通知: %1 条").arg(counts.value(id)));
            }
        }
    }
    if (reminders.add.isEmpty()) {
        if (!identifiers.isEmpty())
            m_notificationCenter.removePendingNotificationRequests(identifiers);
        return;
    }
    // One write: the old reminders go and the new ones come together, the
    // new ones last, so a withdrawn identifier added again stays.
    const QList<QString> labels = reminders.labels;
    m_notificationCenter.replace(identifiers, reminders.add, this, [this, labels](const QStringList& errors) {
        for (int i = 0; i < errors.size() && i < labels.size(); ++i) {
            if (errors[i].isEmpty())
                logDebug(QStringLiteral("本地通知已添加: ") + labels[i]);
            else
                logDebug(QStringLiteral("本地通知添加失败: ") + errors[i]);
        }
    });
}
