#pragma once

#include "orderbook/LocalCalendar.h"
#include "orderbook/Order.h"
#include "orderbook/RestDay.h"
#include "orderbook/RevenueTrendRow.h"
#include "orderbook/StoredList.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <functional>
#include <optional>

class UserDefaults;

// The one store of orders and rest days. Both lists live as JSON bytes under
// their keys in the preference store and are rewritten after every change.
// Used on the main thread only. Every day rule takes the local calendar day.
class OrderManager : public QObject
{
    Q_OBJECT
public:
    // Made on first use over UserDefaults::standard(), kept for the process.
    static OrderManager& shared();

    // A store over `store`; loads both lists at once. Screens use shared().
    explicit OrderManager(UserDefaults& store, QObject* parent = nullptr);

    const QList<Order>& orders() const { return m_orders; }
    const QList<RestDay>& restDays() const { return m_restDays; }
    // Whole-list replacement for screens that edit in place; they call save()
    // afterwards. Refused (false, one log line) when an amount is not finite
    // or a date is invalid.
    bool setOrders(const QList<Order>& orders);
    bool setRestDays(const QList<RestDay>& days);

    // Re-reads both keys; a key that is absent or unreadable leaves its list
    // as it is. The backup import calls this after restoring the keys.
    void load();
    // Writes both lists. A list that cannot be read from the store is first
    // copied to the quarantine folder, and not overwritten while that copy
    // cannot be made; a key whose bytes would not change is not rewritten.
    // False when the lists did not reach the disk: `lastSaveError` says why
    // (until the next save, add or update).
    bool save();
    QString lastSaveError() const { return m_lastSaveError; }

    // Every change below saves at once. When the disk refuses, the change is
    // undone in memory (the lists stay what the file holds), `saveFailed`
    // names the cause and the call reports failure.

    // Appends unchanged and saves. False (nothing stored) for an order with
    // an amount that is not finite or an invalid date.
    bool addOrder(const Order& order);
    // Appends every order that can be stored, with one save; returns those added.
    QList<Order> addOrders(const QList<Order>& orders);
    std::optional<Order> order(const QUuid& id) const;
    // Replaces the first stored order with the same id and saves; false when
    // there is none or the order cannot be stored.
    bool updateOrder(const Order& order);
    // Removes every order with its id, saves, then hands the order to the
    // event deleter (its calendar event and reminders go); a refused save
    // deletes nothing.
    bool deleteOrder(const Order& order);
    // The same for every stored order with one of `ids`, with one call of the
    // deleter and one save. Returns the number of orders removed.
    int deleteOrders(const QList<QUuid>& ids);
    // Sets only the calendar event identifier of the first stored order with
    // each id (an edit made meanwhile stays), with one save. Returns how many
    // stored orders had that id; none when the save failed.
    int setCalendarEventIdentifiers(const QHash<QUuid, QString>& identifiers);
    // Appends a payment dated now to the stored order with that id and sets
    // its status by the automatic rule; false when no order matched or the
    // amount is not finite.
    bool addPayment(const Order& order, double amount, const QString& note);
    // Status from the stored order's open balance: pendingBalance or completed.
    bool markShootCompleted(const Order& order);
    bool hasOrderWithCalendarEventIdentifier(const QString& identifier) const;

    // Orders shot on the local day, in list order (from the day index).
    QList<Order> ordersFor(const QDate& day) const;
    QList<Order> ordersFor(const QDateTime& moment) const { return ordersFor(LocalCalendar::dayOf(moment)); }
    // Orders shot in the month of `month`, in list order.
    QList<Order> ordersIn(const QDate& month) const;

    bool isRestDay(const QDate& day) const;
    bool isRestDay(const QDateTime& moment) const { return isRestDay(LocalCalendar::dayOf(moment)); }
    // Unmarks the day when marked (the first rest day on it), else marks it.
    bool toggleRestDay(const QDate& day);
    bool toggleRestDay(const QDateTime& moment) { return toggleRestDay(LocalCalendar::dayOf(moment)); }
    // "scheduleMaxOrdersPerDay" when 1 or more, else 10.
    int maxOrdersPerDay() const;
    // Orders of the day (any status, TBD included) reach the limit.
    bool isDayFull(const QDate& day) const;
    bool isDayFull(const QDateTime& moment) const { return isDayFull(LocalCalendar::dayOf(moment)); }

    // Revenue figures. Cash mode counts each payment on its date; completed
    // mode counts an order's total on its completedDate. No status filter.
    double totalRevenue(const QDate& day) const;             // totals of the day's orders
    double revenueByPaymentDateIn(const QDate& month) const; // payments dated in the month
    double revenueByPaymentDateFor(const QDate& day) const;  // payments dated on the day
    double totalReceivedByCashMode() const;
    double yearRevenueByCashMode() const;
    double totalRevenueByCompletedMode() const;
    double todayRevenueByCompletedMode() const;
    double monthRevenueByCompletedMode() const;
    double yearRevenueByCompletedMode() const;
    double totalReceivedAll() const;
    double totalPending() const;
    int monthOrderCount() const;
    // The last `months` months, oldest first, the current month last.
    QList<RevenueTrendRow> monthlyRevenueTrend(int months) const;

    // Orders shot from the start of `startDay` up to, not including, the
    // start of the day after `endDay`, by shoot date (stable). UTF-8 text,
    // LF line ends, no BOM; fields quoted only when they need it.
    QString exportCSV(const QDate& startDay, const QDate& endDay) const;

    // Who removes the calendar events and pending reminders of orders about to
    // be deleted; the calendar sync installs itself. Called once per delete,
    // with every order going, linked to an event or not.
    using EventDeleter = std::function<void(const QList<Order>& orders)>;
    void setCalendarEventDeleter(EventDeleter deleter) { m_eventDeleter = std::move(deleter); }
    // Told before orders are removed (`going` true), and again when the disk
    // kept them after all (false), so what their events need is kept first.
    using DeleteAnnouncer = std::function<void(const QList<Order>& orders, bool going)>;
    void setDeleteAnnouncer(DeleteAnnouncer announcer) { m_deleteAnnouncer = std::move(announcer); }

Q_SIGNALS:
    void ordersChanged();
    void restDaysChanged();
    void saveFailed(const QString& cause);

private:
    static OrderStatus autoCalculateStatus(const Order& order);
    int indexOf(const QUuid& id) const;
    // How many went; -1 when the save failed and none did.
    int removeOrders(const QSet<QUuid>& ids);
    // removeOrders between the announcements, then the event deleter.
    int removeAnnounced(const QSet<QUuid>& ids, const QList<Order>& going);
    void ordersDidChange();
    // Saves a change made in memory; when that fails, `undo` puts memory back.
    bool saveOrUndo(const std::function<void()>& undo);
    // Puts order `i` back as it was when the save of its change fails.
    bool saveOrRestore(qsizetype i, Order before, QByteArray encodedBefore);
    // The system zone changed: every day now falls in the new zone.
    void timeZoneDidChange();
    // The stored array as pieces: the unchanged orders' bytes go to the store
    // as the very buffers it already holds.
    std::optional<UserDefaults::Pieces> encodeOrders();
    const QHash<QDate, QList<int>>& dayIndex() const;

    UserDefaults& m_store;
    QList<Order> m_orders;
    QList<RestDay> m_restDays;
    StoredList m_storedOrders;
    StoredList m_storedRestDays;
    // Each order's encoded JSON, parallel to m_orders; empty until encoded
    // again after a change, so a save re-encodes only the orders that changed.
    QList<QByteArray> m_encoded;
    mutable QHash<QDate, QList<int>> m_dayIndex;
    mutable bool m_dayIndexValid = false;
    mutable int m_dayIndexGeneration = 0;
    EventDeleter m_eventDeleter;
    DeleteAnnouncer m_deleteAnnouncer;
    QString m_lastSaveError;
};
