#include "ScheduleIncomeState.h"

#include "orderbook/OrderManager.h"
#include "orderbook/OrderSearch.h"

ScheduleIncomeState::ScheduleIncomeState(OrderManager& orders, QObject* parent)
    : QObject(parent)
    , m_orders(orders)
{
    connect(&m_orders, &OrderManager::ordersChanged, this,
            [this] { m_daysValid = m_matchesValid = false; });
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
        m_matchesValid = false;
    Q_EMIT searchTextChanged(text);
}

void ScheduleIncomeState::findMatches() const
{
    const QList<Order>& orders = m_orders.orders();
    if (!m_daysValid) {
        m_shootDays.resize(orders.size());
        m_firstDay = 0;
        for (qsizetype i = 0; i < orders.size(); ++i) {
            const QDate day = orders[i].shootDay();
            m_shootDays[i] = day.isValid() ? day.toJulianDay() : 0;
            if (m_shootDays[i] && (!m_firstDay || m_shootDays[i] < m_firstDay))
                m_firstDay = m_shootDays[i];
        }
        m_daysValid = true;
    }
    const QString q = query();
    m_found.clear();
    m_matchingDays.clear();
    for (qsizetype i = 0; i < orders.size(); ++i) {
        if (q.isEmpty() || !orderMatchesSearch(orders[i], q))
            continue;
        m_found.append(i);
        if (!m_shootDays[i])
            continue;
        const qsizetype bit = m_shootDays[i] - m_firstDay;
        if (bit >= m_matchingDays.size())
            m_matchingDays.resize(bit + 1);
        m_matchingDays.setBit(bit);
    }
    m_matchesValid = true;
}

FoundOrders ScheduleIncomeState::filteredOrders() const
{
    if (!isSearchActive())
        return FoundOrders(m_orders.orders(), nullptr);
    if (!m_matchesValid)
        findMatches();
    return FoundOrders(m_orders.orders(), &m_found);
}

bool ScheduleIncomeState::hasMatchingOrders(const QDate& day) const
{
    if (!isSearchActive() || !day.isValid())
        return false;
    if (!m_matchesValid)
        findMatches();
    const qint64 bit = day.toJulianDay() - m_firstDay;
    return bit >= 0 && bit < m_matchingDays.size() && m_matchingDays.testBit(bit);
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
