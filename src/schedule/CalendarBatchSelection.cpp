#include "CalendarBatchSelection.h"

#include "orderbook/Money.h"
#include "orderbook/OrderManager.h"
#include "orderbook/OrderSearch.h"
#include "schedule/ScheduleCalendarModel.h"

#include <algorithm>

namespace {

bool sameMonth(const QDate& a, const QDate& b)
{
    return a.year() == b.year() && a.month() == b.month();
}

}

CalendarBatchSelection::CalendarBatchSelection(ScheduleCalendarModel& model, QObject* parent)
    : QObject(parent)
    , m_model(model)
{
    m_checkTimer.setParent(this);
    m_checkTimer.setObjectName(QStringLiteral("eventCheckTimer"));
    m_checkTimer.setSingleShot(true);
    m_checkTimer.setInterval(1000);
    connect(&m_checkTimer, &QTimer::timeout, this, &CalendarBatchSelection::finishEventCheck);
    connect(&orderManager(), &OrderManager::ordersChanged, this, &CalendarBatchSelection::stateChanged);
}

OrderManager& CalendarBatchSelection::orderManager() const
{
    return m_model.orderManager();
}

void CalendarBatchSelection::stateChanged()
{
    m_listsValid = false;
    Q_EMIT changed();
}

void CalendarBatchSelection::setFilterStatus(const QString& status)
{
    if (status == m_filterStatus)
        return;
    m_filterStatus = status;
    stateChanged();
}

void CalendarBatchSelection::setFilterPackage(const QString& package)
{
    if (package == m_filterPackage)
        return;
    m_filterPackage = package;
    stateChanged();
}

bool CalendarBatchSelection::passesFilters(const Order& order) const
{
    return (m_filterStatus == allFilter() || rawValue(order.status) == m_filterStatus)
        && (m_filterPackage == allFilter() || order.packageType == m_filterPackage);
}

void CalendarBatchSelection::rebuildLists() const
{
    const QDate month = m_model.currentMonth();
    if (m_listsValid && (!m_dates.isEmpty() || sameMonth(month, m_listsMonth)))
        return;
    m_selectedOrders.clear();
    if (m_dates.isEmpty()) {
        m_selectedOrders = orderManager().ordersIn(month);
    } else {
        for (const Order& o : orderManager().orders()) {
            if (m_dates.contains(o.shootDay()))
                m_selectedOrders.append(o);
        }
    }
    m_filteredOrders.clear();
    for (const Order& o : std::as_const(m_selectedOrders)) {
        if (passesFilters(o))
            m_filteredOrders.append(o);
    }
    m_listsMonth = month;
    m_listsValid = true;
}

const QList<Order>& CalendarBatchSelection::selectedOrders() const
{
    rebuildLists();
    return m_selectedOrders;
}

const QList<Order>& CalendarBatchSelection::filteredBatchOrders() const
{
    rebuildLists();
    return m_filteredOrders;
}

QStringList CalendarBatchSelection::batchStatusOptions()
{
    QStringList options{allFilter()};
    for (OrderStatus s : allOrderStatuses()) {
        if (s != OrderStatus::cancelled)
            options.append(rawValue(s));
    }
    return options;
}

QStringList CalendarBatchSelection::batchPackageOptions() const
{
    QStringList names;
    for (const Order& o : selectedOrders())
        names.append(o.packageType);
    names.removeDuplicates();
    // Code-point order of the normalised texts; the entries keep the stored
    // spelling so choosing one matches its orders exactly.
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.normalized(QString::NormalizationForm_D) < b.normalized(QString::NormalizationForm_D);
    });
    names.prepend(allFilter());
    return names;
}

bool CalendarBatchSelection::allSelectedOrdersChecked() const
{
    const QList<Order>& listed = filteredBatchOrders();
    return !listed.isEmpty()
        && std::all_of(listed.cbegin(), listed.cend(), [&](const Order& o) { return m_ids.contains(o.id); });
}

void CalendarBatchSelection::toggleBatchMode()
{
    m_batchMode = !m_batchMode;
    m_dates.clear();
    m_ids.clear();
    if (m_batchMode) {
        for (const Order& o : orderManager().ordersIn(m_model.currentMonth())) {
            if (passesFilters(o))
                m_ids.insert(o.id);
        }
    }
    stateChanged();
}

void CalendarBatchSelection::toggleSelectAll()
{
    const bool uncheck = allSelectedOrdersChecked();
    for (const Order& o : filteredBatchOrders()) {
        if (uncheck)
            m_ids.remove(o.id);
        else
            m_ids.insert(o.id);
    }
    Q_EMIT changed();
}

void CalendarBatchSelection::toggleOrder(const QUuid& id)
{
    if (!m_ids.remove(id))
        m_ids.insert(id);
    Q_EMIT changed();
}

QList<QDate> CalendarBatchSelection::daysOfDisplayedMonth() const
{
    const QDate month = m_model.currentMonth();
    QList<QDate> days;
    for (int d = 1; d <= month.daysInMonth(); ++d)
        days.append(QDate(month.year(), month.month(), d));
    return days;
}

void CalendarBatchSelection::insertDay(const QDate& day)
{
    m_dates.insert(day);
    for (const Order& o : orderManager().ordersFor(day)) {
        if (passesFilters(o))
            m_ids.insert(o.id);
    }
}

bool CalendarBatchSelection::isCurrentMonthAllSelected() const
{
    const QList<QDate> days = daysOfDisplayedMonth();
    return std::all_of(days.cbegin(), days.cend(), [&](const QDate& d) { return m_dates.contains(d); });
}

void CalendarBatchSelection::selectAllCurrentMonth()
{
    for (const QDate& day : daysOfDisplayedMonth())
        insertDay(day);
    stateChanged();
}

void CalendarBatchSelection::deselectAllCurrentMonth()
{
    m_dates.clear();
    m_ids.clear();
    stateChanged();
}

bool CalendarBatchSelection::selectAllKeyPressed()
{
    if (!m_batchMode)
        return false;
    if (isCurrentMonthAllSelected())
        deselectAllCurrentMonth();
    else
        selectAllCurrentMonth();
    return true;
}

CalendarRequest CalendarBatchSelection::dayClicked(const QDate& day, bool shift)
{
    CalendarRequest request;
    if (!day.isValid())
        return request;
    if (!m_batchMode) {
        if (orderManager().isRestDay(day) || orderManager().isDayFull(day))
            return request;
        request.kind = CalendarRequest::Kind::newOrder;
        request.date = day;
        return request;
    }
    if (shift && m_lastClicked) {
        const QDate first = std::min(*m_lastClicked, day);
        const QDate last = std::max(*m_lastClicked, day);
        for (QDate d = first; d <= last; d = d.addDays(1))
            insertDay(d);
    } else {
        if (isCurrentMonthAllSelected() && !m_dates.contains(day)) {
            m_dates.clear();
            m_ids.clear();
            insertDay(day);
        } else if (m_dates.remove(day)) {
            // Dropping a day drops every order of it, hidden ones included.
            for (const Order& o : orderManager().ordersFor(day))
                m_ids.remove(o.id);
        } else {
            insertDay(day);
        }
        m_lastClicked = day;
    }
    stateChanged();
    return request;
}

CalendarRequest CalendarBatchSelection::badgeClicked(const QDate& day, const QString& searchText) const
{
    CalendarRequest request;
    request.date = day;
    const QList<Order> dayOrders = orderManager().ordersFor(day);
    const QList<ShootEvent> events = m_model.unimportedEvents(day);
    const QString search = searchText.trimmed();
    const bool searching = !search.isEmpty();
    const qsizetype items = dayOrders.size() + events.size();
    if (items == 1) {
        if (dayOrders.size() == 1 && !searching) {
            request.kind = CalendarRequest::Kind::editOrder;
            request.order = dayOrders.first();
            return request;
        }
        if (events.size() == 1) {
            request.kind = CalendarRequest::Kind::importEvent;
            request.event = events.first();
            return request;
        }
    }
    request.orders = searching ? orderMatchesSearch(dayOrders, search) : dayOrders;
    if (!request.orders.isEmpty()) {
        request.kind = CalendarRequest::Kind::selectOrders;
    } else if (!events.isEmpty()) {
        request.kind = CalendarRequest::Kind::importEvent;
        request.event = events.first();
    }
    return request;
}

bool CalendarBatchSelection::isEmphasised(const QDate& day, bool matchesSearch) const
{
    return (m_batchMode && m_dates.contains(day)) || matchesSearch;
}

QList<DayMenuEntry> CalendarBatchSelection::dayMenu(const QDate& day) const
{
    using A = DayMenuEntry::Action;
    QList<DayMenuEntry> entries;
    if (orderManager().isRestDay(day))
        entries.append({A::toggleRestDay, QStringLiteral("取消闭档"), QStringLiteral("xmark"), false, {}});
    else
        entries.append({A::toggleRestDay, QStringLiteral("标记闭档/休息"), QStringLiteral("moon.zzz"), false, {}});
    const QList<Order> orders = orderManager().ordersFor(day);
    if (orders.isEmpty())
        return entries;
    entries.append({A::viewOrders, QStringLiteral("查看当天订单"), QStringLiteral("list.bullet"), false, {orders.first()}});
    if (orders.size() == 1) {
        entries.append({A::deleteOrder, QStringLiteral("删除订单"), QStringLiteral("trash"), false, orders});
        return entries;
    }
    for (const Order& o : orders)
        entries.append({A::deleteOrder, QStringLiteral("删除：") + o.customerName, QStringLiteral("trash"), true, {o}});
    entries.append({A::divider, {}, {}, true, {}});
    entries.append({A::deleteDay, QStringLiteral("删除全部 %1 个订单").arg(orders.size()), QStringLiteral("trash"), true,
                    orders});
    return entries;
}

namespace {
QString calendarWord(bool reachesPhone)
{
    return reachesPhone ? QStringLiteral("手机日历") : QStringLiteral("系统日历");
}
}

DeleteConfirmation CalendarBatchSelection::singleDeleteConfirmation(const Order& order, bool reachesPhone)
{
    return {QStringLiteral("确认删除订单？"),
            QStringLiteral("客户：") + order.customerName
                + QStringLiteral("\n删除后同时移除%1中的对应事件，此操作不可恢复。").arg(calendarWord(reachesPhone))};
}

DeleteConfirmation CalendarBatchSelection::dayDeleteConfirmation(int count, bool reachesPhone)
{
    return {QStringLiteral("确认删除当天所有订单？"),
            QStringLiteral("将删除 %1 个订单，同时同步删除%2中的对应事件，此操作不可恢复。").arg(count).arg(calendarWord(reachesPhone))};
}

QList<QUuid> CalendarBatchSelection::batchDeleteIds() const
{
    QList<QUuid> ids;
    QSet<QUuid> seen;
    for (const Order& o : filteredBatchOrders()) {
        if (m_ids.contains(o.id) && !seen.contains(o.id)) {
            seen.insert(o.id);
            ids.append(o.id);
        }
    }
    return ids;
}

DeleteConfirmation CalendarBatchSelection::batchDeleteConfirmation() const
{
    return {QStringLiteral("确认删除"),
            QStringLiteral("确定删除选中的 %1 条订单吗？删除后不可恢复").arg(batchDeleteIds().size())};
}

int CalendarBatchSelection::deleteOrders(const QList<QUuid>& ids)
{
    return ids.isEmpty() ? 0 : orderManager().deleteOrders(ids);
}

QString CalendarBatchSelection::batchDelete()
{
    const int removed = deleteOrders(batchDeleteIds());
    m_ids.clear();
    m_batchMode = false;
    stateChanged();
    return QStringLiteral("成功删除 %1 条订单").arg(removed);
}

QList<Order> CalendarBatchSelection::pendingBalanceOrders(const QList<Order>& orders)
{
    QList<Order> out;
    for (const Order& o : orders) {
        if (o.status == OrderStatus::pendingBalance && o.pendingAmount() > 0) {
            out.append(o);
            if (out.size() == 10)
                break;
        }
    }
    return out;
}

QString CalendarBatchSelection::pendingBalanceDetail(const Order& order)
{
    return Money::yuanText(order.pendingAmount()) + QStringLiteral(" · ") + order.shootDay().toString(QStringLiteral("MM-dd"));
}

void CalendarBatchSelection::startEventCheck(const QDate& day)
{
    m_sheetDay = day;
    if (m_model.unimportedEvents(day).isEmpty()) {
        m_checkTimer.stop();
        if (m_syncing) {
            m_syncing = false;
            Q_EMIT syncingCalendarChanged(false);
        }
        return;
    }
    m_checkDay = day;
    m_checkTimer.start();
    if (!m_syncing) {
        m_syncing = true;
        Q_EMIT syncingCalendarChanged(true);
    }
}

void CalendarBatchSelection::finishEventCheck()
{
    if (m_sheetDay.isValid() && m_sheetDay == m_checkDay)
        Q_EMIT ordersForSelectionRefilled(orderManager().ordersFor(m_checkDay));
    m_syncing = false;
    Q_EMIT syncingCalendarChanged(false);
}
