#pragma once

#include "orderbook/CalendarPendingWork.h"
#include "orderbook/CalendarSyncLog.h"
#include "orderbook/Order.h"
#include "orderbook/OrderbookKeys.h"
#include "orderbook/ParsedOrderFields.h"
#include "orderbook/ReleasedOrders.h"
#include "orderbook/ReminderRule.h"
#include "orderbook/ShootEvent.h"
#include "platform/CalendarEvent.h"
#include "platform/CalendarInfo.h"
#include "platform/UserNotificationRequest.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <optional>

class CalendarStore;
class OrderManager;
class UserDefaults;
class UserNotificationCenter;

// The one way from the order book to the calendar store and the notification
// centre: the dedicated calendar "拍摄档期" with one event per synced order,
// the reminder rules that give each event its alarms and local notifications,
// the calendar permission, and the debug log "calendar_sync.log".
//
// Used on the main thread. Failures are logged and reported through the
// completions (no identifier, false, a count); nothing throws.
class CalendarSyncManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isAuthorized READ isAuthorized NOTIFY isAuthorizedChanged)
    Q_PROPERTY(bool calendarSyncEnabled READ calendarSyncEnabled WRITE setCalendarSyncEnabled NOTIFY
                   calendarSyncEnabledChanged)

public:
    static constexpr const char* calendarSyncEnabledKey = OrderbookKeys::calendarSyncEnabled.name;
    static constexpr const char* reminderRulesKey = OrderbookKeys::reminderRules.name;
    static constexpr const char* localNotificationEnabledKey = OrderbookKeys::localNotificationEnabled.name;
    static constexpr const char* logFileName = "calendar_sync.log";
    static QString calendarName() { return QStringLiteral("拍摄档期"); }

    using EventCompletion = std::function<void(const std::optional<QString>& eventIdentifier)>;
    using BoolCompletion = std::function<void(bool)>;
    using PermissionCompletion = std::function<void(bool granted, const std::optional<QString>& error)>;
    using CountCompletion = std::function<void(int)>;

    // Made on first use over the shared calendar store, notification centre,
    // preference store and order store; kept for the process.
    static CalendarSyncManager& shared();

    // Installs itself as the order store's event deleter. The first permission
    // checks run once the event loop does, so making the manager reaches no
    // other shared instance.
    CalendarSyncManager(CalendarStore& eventStore, UserNotificationCenter& notificationCenter,
                        UserDefaults& defaults, OrderManager& orders, QObject* parent = nullptr);
    ~CalendarSyncManager() override;

    CalendarStore& eventStore() const { return m_eventStore; }
    OrderManager& orderManager() const { return m_orders; }
    UserNotificationCenter& notificationCenter() const { return m_notificationCenter; }
    QString logFilePath() const { return m_log.filePath(); }

    // --- State ---
    // The app may write events (full or write-only access).
    bool permissionGranted() const { return m_permissionGranted; }
    bool notificationPermissionGranted() const { return m_notificationPermissionGranted; }
    void setNotificationPermissionGranted(bool granted) { m_notificationPermissionGranted = granted; }
    bool isAuthorized() const { return m_isAuthorized; }
    // The master switch, stored under "calendarSyncEnabled" (on when never set).
    bool calendarSyncEnabled() const { return m_calendarSyncEnabled; }
    void setCalendarSyncEnabled(bool enabled);
    // The switch is on and access is full (write-only access cannot read).
    bool canReadEvents() const;
    // Whether the dedicated calendar, as last found, lies in an online
    // account, so its events reach the phone; false until it was found.
    bool syncsToPhone() const { return m_dedicatedCalendar && m_dedicatedCalendar->source.syncsOnline(); }
    const QList<ShootEvent>& shootEvents() const { return m_shootEvents; }
    // Orders whose event is still to be written plus events still to be
    // removed: work the calendar refused, retried at every refresh.
    int pendingCalendarWork() const { return m_pending.size(); }
    // The orders among it: those whose event is still to be written.
    int pendingCalendarOrders() const { return int(m_pending.orders().size()); }
    // The part of it that brings the calendar in line with a restored backup.
    int pendingRestoreWork() const;
    // Why the calendar last refused; empty once nothing waits.
    QString lastCalendarFailure() const { return m_lastFailure; }
    // Why the dedicated calendar's server cannot be reached now; empty while
    // it can, or when the calendar has none. What is written meanwhile stays
    // on this computer and counts as waiting until the server has it.
    QString calendarServerProblem() const;
    // Why the calendar service itself does not answer now; empty while it does.
    QString calendarServiceProblem() const;
    bool isSyncing(const QUuid& orderId) const { return m_syncingOrderIds.contains(orderId); }

    // The stored rule list; the defaults when nothing readable is stored
    // (not written back). An empty stored list means no reminders.
    QList<ReminderRule> reminderRules() const;
    void setReminderRules(const QList<ReminderRule>& rules);
    // Local reminder notifications, stored under
    // "scheduleLocalNotificationEnabled" (off when never set).
    bool localNotificationEnabled() const;
    void setLocalNotificationEnabled(bool enabled);

    // --- Permission ---
    void checkPermission();
    // checkPermission, then one refresh when read access has newly appeared.
    void checkPermissionAndAutoRefresh();
    // True when writing events is allowed; asks only while undetermined.
    void requestPermission(BoolCompletion completion);
    void requestCalendarPermission(PermissionCompletion completion);
    void openSystemSettings();
    void checkNotificationPermission();
    void requestNotificationPermission(BoolCompletion completion);
    // The app came to the front.
    void applicationDidBecomeActive();

    // --- Events of the dedicated calendar ---
    // Reads six months either side of now into shootEvents, then imports the
    // events no order holds as new orders.
    void refreshEvents();
    // The order one event stands for, not stored. None when an order already
    // holds the event (a second import would duplicate it), or when the event
    // is no longer in the store or belonged to a deleted order.
    std::optional<Order> importEventAsOrder(const ShootEvent& event) const;

    // --- Orders to events ---
    // Keeps the order's write as waiting work before the caller stores the
    // order, so a kill before its sync leaves the write to the next start.
    // Returns whether it was not waiting yet; a caller whose store refused
    // the order then withdraws it.
    bool keepWriteIntent(const QUuid& orderId);
    void withdrawWriteIntent(const QUuid& orderId);
    // The events an order leaves when it is let go or switched off the
    // calendar: the one it holds, and the one a write cut short was to make.
    QStringList eventsOf(const QList<Order>& orders) const;
    // Keeps the removal of `events` as waiting work before the caller stores
    // an order switched off the calendar; returns those not waiting yet, which
    // a caller whose store refused the order withdraws.
    QStringList keepRemovalIntent(const QStringList& events);
    void withdrawRemovalIntent(const QStringList& events);
    // Creates or updates the order's event and schedules its reminders; the
    // completion gets the event identifier, none on failure or skip. The order
    // is not changed: storing the identifier is the caller's business.
    void syncOrder(const Order& order, EventCompletion completion = {});
    // Removes one event; false when the switch is off, access is missing, or
    // there is no such event.
    bool deleteEvent(const QString& identifier);
    // Removes events with one calendar write; returns how many went.
    int deleteEvents(const QStringList& identifiers);
    // Rewrites the event of every order that is not cancelled and asks for
    // sync, with one calendar write; stores new identifiers into the order
    // store before the one refresh at the end. The completion gets the count
    // of orders whose event was saved.
    void batchSyncAllOrders(const QList<Order>& orders, CountCompletion completion);
    // Withdraws the order's pending reminder notifications.
    void removeLocalNotifications(const QUuid& orderId);

    // --- Formats ---
    // The reminder moment of `rule` for a shoot starting at `shootDate`, in
    // local time; none when it cannot be formed.
    static std::optional<QDateTime> calculateAlarmDate(const ReminderRule& rule, const QDateTime& shootDate);
    // Local shoot day at the shoot's hour and minute; none when invalid.
    static std::optional<QDateTime> shootStart(const Order& order);
    static QString eventTitle(const Order& order);
    static QString eventNotes(const Order& order);
    static QString notificationIdentifier(const QUuid& orderId, int ruleIndex);

Q_SIGNALS:
    void shootEventsChanged();
    void isAuthorizedChanged();
    void calendarSyncEnabledChanged();
    void pendingWorkChanged();

private:
    // What syncing orders does to the notification centre, gathered so a
    // batch writes the pending list once.
    struct Reminders {
        QList<QUuid> withdraw;
        QList<UserNotificationRequest> add;
        QList<QString> labels; // per request in `add`, for the log
    };

    void logDebug(const QString& message) const;
    // A calendar failure, said once while the service does not answer: then
    // every write fails for that one cause.
    void logFailure(const QString& error);
    void setAuthorized(bool authorized);
    void setShootEvents(const QList<ShootEvent>& events);
    std::optional<CalendarInfo> getDedicatedCalendar();
    std::optional<CalendarInfo> createCalendar(const CalendarSource& source);

    // Saves the order's event into `calendar`, the dedicated one, without
    // committing it, and adds its reminders to `reminders`. `avoid`
    // names events another order of the same batch already took. Returns the
    // identifier, none on failure.
    // `intended` is the event an earlier write of the order, cut short, was
    // to make: taken up when it exists, made under that identifier otherwise.
    std::optional<QString> writeEvent(const std::optional<CalendarInfo>& calendar, const Order& order,
                                      const QList<ReminderRule>& rules, Reminders& reminders,
                                      const QSet<QString>& avoid = {}, const QString& intended = {});
    // Commits the events saved for `orders` (their identifiers in `events`),
    // keeping them as waiting work first; false (logged, changes dropped,
    // the cause in m_lastWriteError) when the calendar refused.
    bool commitWrites(const QList<QUuid>& orders, const QHash<QUuid, QString>& events);
    void addCustomAlarms(CalendarEvent& event, const QDateTime& shootDate, const QList<ReminderRule>& rules);
    void scheduleLocalNotification(const Order& order, const QDateTime& shootDate,
                                   const QList<ReminderRule>& rules, Reminders& reminders);
    // Withdraws first, then adds: the new requests are never removed.
    void applyReminders(const Reminders& reminders);
    // The deleter the order store calls once it removed orders.
    void ordersDeleted(const QList<Order>& orders);
    // The order store's word before it removes orders (and after, when the
    // disk kept them): their events wait for removal from then on.
    void ordersAboutToGo(const QList<Order>& orders, bool going);

    // Events back to orders (CalendarSyncImport.cpp).
    void publishRefreshedEvents(QList<ShootEvent> events);
    // Events of deleted orders: gone from the store, or still waiting there
    // for their removal; neither is shown nor imported again.
    QSet<QString> deletedOrderEvents() const;
    void forgetDeletedOrderEvents(const QStringList& identifiers);
    // After a backup import: the restored orders' events are written again
    // (made anew where gone), and the events the book held before for orders
    // the restore took away are removed, so none comes back as an order.
    void followRestoredBook(const QList<ShootEvent>& events);
    // Events the book no longer wants wherever a refresh finds them: those
    // naming an order it let go, and those of an order switched off the
    // calendar. They wait for removal, so none becomes an order again.
    void removeStrayEvents(const QList<ShootEvent>& events);
    // Events of deleted orders taken for removed that a refresh finds again
    // go back on the pending removals.
    void removeReturnedEvents(const QList<ShootEvent>& events);
    // Events naming an order of the book are that order's: an order that lost
    // its event takes one back, copies go. Returns the copies.
    QSet<QString> tieEventsToOrders(const QList<ShootEvent>& events);
    // Whether an event's order property names an order of the book.
    bool namesStoredOrder(const QString& orderId) const;
    void autoImportEvents(const QList<ShootEvent>& events);
    Order orderFromEvent(const ShootEvent& event, const ParsedOrderFields& parsed, bool manual) const;
    // Without the switch or access, keeps `identifiers` as pending removals
    // and says so in the log.
    void rememberUndeletedEvents(const QStringList& identifiers);
    // Writes and removes what it can of the pending work.
    void retryPendingWork();
    void pendingWorkFailed(const QList<QUuid>& orders, const QStringList& removals, const QString& cause);
    void pendingWorkDone(const QList<QUuid>& orders, const QStringList& removals);
    // After a write the store took: done when it reached the calendar's
    // server, else waiting (logged) with the reason the server is out of reach.
    bool pendingWorkWritten(const QList<QUuid>& orders, const QStringList& removals, const QStringList& writtenEvents);
    // Writes the events of `orders` with one commit (cancelled ones left out
    // when asked) and stores new identifiers into the orders; the count of
    // events saved, none when the commit failed. `kept` counts those tried.
    std::optional<int> writeOrders(const QList<Order>& orders, bool skipCancelled, int& kept);

    CalendarStore& m_eventStore;
    UserNotificationCenter& m_notificationCenter;
    UserDefaults& m_defaults;
    OrderManager& m_orders;
    CalendarSyncLog m_log;
    CalendarPendingWork m_pending;
    ReleasedOrders m_released;
    QString m_lastFailure;
    QString m_lastWriteError;

    bool m_permissionGranted = false;
    bool m_notificationPermissionGranted = false;
    std::optional<CalendarInfo> m_dedicatedCalendar;
    QSet<QUuid> m_syncingOrderIds;
    QList<ShootEvent> m_shootEvents;
    // Taken off by deletes this session: a refresh read before a delete must
    // not bring them back.
    QSet<QString> m_deletedOrderEvents;
    // What the last restore asked of the calendar, until it is all done.
    QSet<QUuid> m_restoreOrders;
    QSet<QString> m_restoreRemovals;
    bool m_isAuthorized = false;
    bool m_calendarSyncEnabled = true;
    bool m_lastCanReadEvents = false;
    bool m_silenceLogged = false;
};
