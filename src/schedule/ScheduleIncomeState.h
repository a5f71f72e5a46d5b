#pragma once

#include "orderbook/Order.h"
#include "orderbook/ShootEvent.h"

#include <QBitArray>
#include <QDate>
#include <QObject>

#include <optional>

class OrderManager;

// The orders a search found, read in place from the order store's list; valid
// until that list or the query changes. A keystroke that finds nearly every
// order copies none of them.
class FoundOrders
{
public:
    FoundOrders(const QList<Order>& orders, const QList<qsizetype>* positions)
        : m_orders(&orders), m_positions(positions) {}

    qsizetype size() const { return m_positions ? m_positions->size() : m_orders->size(); }
    bool isEmpty() const { return size() == 0; }
    const Order& operator[](qsizetype i) const { return (*m_orders)[m_positions ? (*m_positions)[i] : i]; }

    class const_iterator
    {
    public:
        const_iterator(const FoundOrders* list, qsizetype i) : m_list(list), m_i(i) {}
        const Order& operator*() const { return (*m_list)[m_i]; }
        const_iterator& operator++() { ++m_i; return *this; }
        bool operator!=(const const_iterator& other) const { return m_i != other.m_i; }

    private:
        const FoundOrders* m_list;
        qsizetype m_i;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    const QList<Order>* m_orders;
    const QList<qsizetype>* m_positions; // every order when null
};

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
    FoundOrders filteredOrders() const;
    // A search is on and an order shot on `day` matches it. The month grid
    // asks for every cell on every keystroke: one pass over the orders per
    // query marks the days.
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

    void findMatches() const;

    // Per order list: each order's shoot day (Julian day, 0 when none) and
    // the first of them.
    mutable bool m_daysValid = false;
    mutable QList<qint64> m_shootDays;
    mutable qint64 m_firstDay = 0;
    // Per query and order list: where the matches stand and the days they
    // mark (a bit per day from m_firstDay).
    mutable bool m_matchesValid = false;
    mutable QList<qsizetype> m_found;
    mutable QBitArray m_matchingDays;
};
