#pragma once

#include "schedule/CalendarRequest.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QUuid>

#include <functional>
#include <optional>

class OrderManager;
class ScheduleCalendarModel;

// The month calendar's selection rules: batch mode, the picked days and
// orders, the two filters and the lists they give, what clicks on days and
// count badges ask for, the context menu of a day, the deletes, and the
// check for unimported events behind the order selection sheet.
//
// Picked days are local calendar days; orders belong to a day by their shoot
// day. Picking (entering batch mode, day clicks, Shift ranges, the month-wide
// selection) takes only orders that pass the filters, so nothing hidden is
// deleted unseen. Main thread only.
class CalendarBatchSelection : public QObject
{
    Q_OBJECT
public:
    static QString allFilter() { return QStringLiteral("全部"); }

    explicit CalendarBatchSelection(ScheduleCalendarModel& model, QObject* parent = nullptr);

    ScheduleCalendarModel& model() const { return m_model; }
    OrderManager& orderManager() const;

    bool isBatchMode() const { return m_batchMode; }
    const QSet<QDate>& selectedDates() const { return m_dates; }
    const QSet<QUuid>& selectedOrderIds() const { return m_ids; }
    std::optional<QDate> lastClickedDate() const { return m_lastClicked; }
    QString filterStatus() const { return m_filterStatus; }
    QString filterPackage() const { return m_filterPackage; }
    void setFilterStatus(const QString& status);
    void setFilterPackage(const QString& package);

    // The orders of the picked days, or of the displayed month while no day
    // is picked; then those passing both filters. Store order, cached.
    const QList<Order>& selectedOrders() const;
    const QList<Order>& filteredBatchOrders() const;
    static QStringList batchStatusOptions();
    // "全部", then the distinct package names of selectedOrders, sorted.
    QStringList batchPackageOptions() const;
    bool allSelectedOrdersChecked() const;
    bool passesFilters(const Order& order) const;

    void toggleBatchMode();
    // Checks every listed order, or unchecks them all when all are checked.
    void toggleSelectAll();
    void toggleOrder(const QUuid& id);

    bool isCurrentMonthAllSelected() const;
    void selectAllCurrentMonth();
    void deselectAllCurrentMonth();
    // The select-all key in batch mode: the month, or nothing when all of it
    // was picked. False (nothing done) outside batch mode.
    bool selectAllKeyPressed();

    // A click on a day cell outside its badge; `shift` extends a batch range.
    CalendarRequest dayClicked(const QDate& day, bool shift);
    // A click on a day's count badge; `searchText` is the screen's search.
    CalendarRequest badgeClicked(const QDate& day, const QString& searchText) const;
    // The border of a day cell is emphasised.
    bool isEmphasised(const QDate& day, bool matchesSearch) const;

    QList<DayMenuEntry> dayMenu(const QDate& day) const;

    // The calendar's events go with deleted orders; the phone is named only
    // when the calendar reaches it, as on the sync banner.
    static DeleteConfirmation singleDeleteConfirmation(const Order& order, bool reachesPhone = true);
    static DeleteConfirmation dayDeleteConfirmation(int count, bool reachesPhone = true);
    void setCalendarReachesPhone(std::function<bool()> reachesPhone) { m_reachesPhone = std::move(reachesPhone); }
    bool calendarReachesPhone() const { return m_reachesPhone && m_reachesPhone(); }
    // The ticked orders the list shows now (month or days, filters): ticks
    // left on orders of another month or hidden by a filter are not the
    // user's to lose unseen.
    QList<QUuid> batchDeleteIds() const;
    DeleteConfirmation batchDeleteConfirmation() const;
    // Deletes the stored orders with these ids (events and reminders go with
    // them, one save); orders already gone are skipped. Returns how many went.
    int deleteOrders(const QList<QUuid>& ids);
    // Deletes the batchDeleteIds orders, leaves batch mode and returns the
    // toast text.
    QString batchDelete();

    // Orders shot but not fully paid, the first ten in store order.
    static QList<Order> pendingBalanceOrders(const QList<Order>& orders);
    // "¥2700 · 03-08".
    static QString pendingBalanceDetail(const Order& order);

    // The order selection sheet opened for `day`: while some event of the
    // day is held by no order the check is busy; a second later the sheet's
    // list is refilled with the day's orders, but only if the sheet still
    // shows that day (else the busy flag just clears).
    void startEventCheck(const QDate& day);
    // The sheet closed or moved to another day (an invalid date: closed).
    void setSelectionSheetDay(const QDate& day) { m_sheetDay = day; }
    bool isSyncingCalendar() const { return m_syncing; }

Q_SIGNALS:
    void changed();
    void syncingCalendarChanged(bool syncing);
    void ordersForSelectionRefilled(const QList<Order>& orders);

private:
    void stateChanged();
    void rebuildLists() const;
    void insertDay(const QDate& day);
    QList<QDate> daysOfDisplayedMonth() const;
    void finishEventCheck();

    ScheduleCalendarModel& m_model;
    bool m_batchMode = false;
    QSet<QDate> m_dates;
    QSet<QUuid> m_ids;
    std::optional<QDate> m_lastClicked;
    QString m_filterStatus = allFilter();
    QString m_filterPackage = allFilter();

    mutable bool m_listsValid = false;
    mutable QDate m_listsMonth;
    mutable QList<Order> m_selectedOrders;
    mutable QList<Order> m_filteredOrders;

    bool m_syncing = false;
    std::function<bool()> m_reachesPhone;
    QDate m_checkDay;
    QDate m_sheetDay;
    QTimer m_checkTimer;
};
