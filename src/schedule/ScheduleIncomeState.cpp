#include "ScheduleIncomeState.h"

#include "orderbook/OrderManager.h"
#include "orderbook/OrderSearch.h"

ScheduleIncomeState::ScheduleIncomeState(OrderManager& orders, QObject* parent)
    : QObject(parent)
    , m_orders(orders)
{
    connect(&m_orders, &OrderManager::ordersChanged, this, [this] { m_filterValid = false; });
}

void ScheduleIncomeState::setViewMode(int mode)
{
    mode = mode == calendarView ? calendarView : statisticsView;
    if (m_viewMode == mode)
        return;
    m_viewMode = mode;
    Q_EMIT viewModeChanged(mode);
}

void ScheduleIncomeState::setShowSearch(bool show)
{
    if (m_showSearch == show)
        return;
    m_showSearch = show;
    Q_EMIT showSearchChanged(show);
}

void ScheduleIncomeState::setSearchText(const QString& text)
{
    if (m_searchText == text)
        return;
    const bool sameQuery = text.trimmed() == query();
    m_searchText = text;
    if (!sameQuery)
        m_filterValid = false;
    Q_EMIT searchTextChanged(text);
}

const QList<Order>& ScheduleIncomeState::filteredOrders() const
{
    if (!m_filterValid) {
        const QString q = query();
        m_filtered = q.isEmpty() ? m_orders.orders() : orderMatchesSearch(m_orders.orders(), q);
        m_matchingDays.clear();
        if (!q.isEmpty()) {
            for (const Order& o : m_filtered)
                m_matchingDays.insert(o.shootDay());
        }
        m_filterValid = true;
    }
    return m_filtered;
}

bool ScheduleIncomeState::hasMatchingOrders(const QDate& day) const
{
    if (!isSearchActive())
        return false;
    filteredOrders();
    return m_matchingDays.contains(day);
}

void ScheduleIncomeState::openOrderForm(const std::optional<Order>& order, const QDateTime& date)
{
    m_editingOrder = order;
    m_selectedDate = date;
    Q_EMIT orderFormRequested();
}

void ScheduleIncomeState::openOrderSelection(const QList<Order>& orders)
{
    m_ordersForSelection = orders;
    if (!orders.isEmpty())
        Q_EMIT orderSelectionRequested();
}

void ScheduleIncomeState::refillOrdersForSelection(const QList<Order>& orders)
{
    m_ordersForSelection = orders;
    Q_EMIT ordersForSelectionChanged(orders);
}

void ScheduleIncomeState::offerImport(const ShootEvent& event)
{
    m_eventToImport = event;
    Q_EMIT importRequested();
}

void ScheduleIncomeState::reportScrollOffset(double offset)
{
    const bool show = offset >= kScrollHintLimit;
    if (m_showScrollHint == show)
        return;
    m_showScrollHint = show;
    Q_EMIT scrollHintChanged(show);
}
