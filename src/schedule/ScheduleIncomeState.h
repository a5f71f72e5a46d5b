#pragma once

#include "orderbook/Order.h"
#include "orderbook/ShootEvent.h"

#include <QDate>
#include <QObject>
#include <QSet>

#include <optional>

class OrderManager;

// The state of one schedule screen that its frame owns: view mode, search,
// and what the month calendar asks the frame to open. Batch selection lives
// with the month calendar. Fresh per screen; every change is announced.
class ScheduleIncomeState : public QObject
{
    Q_OBJECT
public:
    enum ViewMode { calendarView = 0, statisticsView = 1 };
    static constexpr double kScrollHintLimit = -300;

    explicit ScheduleIncomeState(OrderManager& orders, QObject* parent = nullptr);

    OrderManager& orderManager() const { return m_orders; }

    int viewMode() const { return m_viewMode; }
    void setViewMode(int mode);

    // --- Search ---
    bool showSearch() const { return m_showSearch; }
    void setShowSearch(bool show);
    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    // The text without blanks and line breaks at either end; a search is on
    // while it is not empty.
    QString query() const { return m_searchText.trimmed(); }
    bool isSearchActive() const { return !query().isEmpty(); }
    // Every order while no search is on, else those matching, in store order.
    // Worked out once per query and order list.
    const QList<Order>& filteredOrders() const;
    // A search is on and an order shot on `day` matches it.
    bool hasMatchingOrders(const QDate& day) const;

    // --- Order form ---
    // Whoever opens the form names the order (none: a new one) and the day.
    void openOrderForm(const std::optional<Order>& order, const QDateTime& date);
    const std::optional<Order>& editingOrder() const { return m_editingOrder; }
    const QDateTime& selectedDate() const { return m_selectedDate; }
    void setSelectedDate(const QDateTime& date) { m_selectedDate = date; }

    // --- A day's orders ---
    void openOrderSelection(const QList<Order>& orders);
    const QList<Order>& ordersForSelection() const { return m_ordersForSelection; }
    // The list of the sheet already shown, read again from the store.
    void refillOrdersForSelection(const QList<Order>& orders);

    // --- Calendar event import ---
    void offerImport(const ShootEvent& event);
    const std::optional<ShootEvent>& eventToImport() const { return m_eventToImport; }
    void clearEventToImport() { m_eventToImport.reset(); }

    // --- Scroll hint ---
    // The end of the content, measured from the top of the visible area.
    void reportScrollOffset(double offset);
    bool showScrollHint() const { return m_showScrollHint; }

Q_SIGNALS:
    void viewModeChanged(int mode);
    void showSearchChanged(bool shown);
    void searchTextChanged(const QString& text);
    void orderFormRequested();
    void orderSelectionRequested();
    void ordersForSelectionChanged(const QList<Order>& orders);
    void importRequested();
    void scrollHintChanged(bool shown);

private:
    OrderManager& m_orders;
    int m_viewMode = calendarView;
    bool m_showSearch = false;
    QString m_searchText;
    std::optional<Order> m_editingOrder;
    QDateTime m_selectedDate = QDateTime::currentDateTime();
    QList<Order> m_ordersForSelection;
    std::optional<ShootEvent> m_eventToImport;
    bool m_showScrollHint = true;

    mutable bool m_filterValid = false;
    mutable QList<Order> m_filtered;
    mutable QSet<QDate> m_matchingDays;
};
