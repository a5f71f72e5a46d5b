#include "OrderManager.h"

#include "orderbook/LocalCalendar.h"
#include "orderbook/Money.h"
#include "orderbook/OrderbookKeys.h"
#include "orderbook/OrderCodec.h"
#include "platform/Log.h"
#include "platform/TimeZoneWatcher.h"
#include "platform/UserDefaults.h"

#include <QStringBuilder>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QDate localDay(const QDateTime& moment)
{
    return LocalCalendar::dayOf(moment);
}

bool sameMonth(const QDate& a, const QDate& b)
{
    return a.year() == b.year() && a.month() == b.month();
}

int monthKey(const QDate& d)
{
    return d.year() * 12 + d.month();
}

// Quotes only what would break the row: clean data stays byte-identical.
// "yyyy-MM-dd" without parsing a format for every row.
QString isoDay(const QDate& day)
{
    if (day.year() < 1 || day.year() > 9999)
        return day.toString(QStringLiteral("yyyy-MM-dd"));
    const int y = day.year(), m = day.month(), d = day.day();
    const char text[10] = {char('0' + y / 1000), char('0' + y / 100 % 10), char('0' + y / 10 % 10), char('0' + y % 10),
                           '-', char('0' + m / 10), char('0' + m % 10), '-', char('0' + d / 10), char('0' + d % 10)};
    return QString::fromLatin1(text, 10);
}

// A spreadsheet runs a cell that starts like a formula; user text gets a
// leading quote, which shows it as typed. Amount cells never pass here.
bool looksLikeFormula(const QString& text)
{
    static const QString starts = QStringLiteral("=+-@\t\r");
    return !text.isEmpty() && starts.contains(text.front());
}

QString csvField(const QString& text)
{
    const bool formula = looksLikeFormula(text);
    if (!formula && !text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return (formula ? QStringLiteral("\"'") : QStringLiteral("\"")) + quoted + QLatin1Char('"');
}

// Dates enter the store as instants showing the current zone's wall clock: a
// local-time value would keep its wall clock and move in time when the zone
// changes.
Order relocalized(Order o)
{
    o.shootDate = LocalCalendar::relocalized(o.shootDate);
    o.shootTime = LocalCalendar::relocalized(o.shootTime);
    for (PaymentRecord& p : o.payments)
        p.date = LocalCalendar::relocalized(p.date);
    return o;
}

RestDay relocalized(RestDay r)
{
    r.date = LocalCalendar::relocalized(r.date);
    return r;
}

template <typename T>
QList<T> relocalized(const QList<T>& list)
{
    QList<T> out;
    out.reserve(list.size());
    for (const T& item : list)
        out.append(relocalized(item));
    return out;
}

void logUnstorable(const QString& what)
{
    Log::line(QStringLiteral("⚠️ [订单] 金额或日期无效（不是有限数），未保存: %1").arg(what));
}

}

OrderManager& OrderManager::shared()
{
    static OrderManager* instance = new OrderManager(UserDefaults::standard());
    return *instance;
}

OrderManager::OrderManager(UserDefaults& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_storedOrders(store, OrderbookKeys::orders)
    , m_storedRestDays(store, OrderbookKeys::restDays)
{
    load();
    connect(&TimeZoneWatcher::shared(), &TimeZoneWatcher::timeZoneChanged, this, &OrderManager::timeZoneDidChange);
}

void OrderManager::timeZoneDidChange()
{
    LocalCalendar::resetCache();
    // Stored instants show the wall clock of the zone they were read in;
    // their instants (and so their stored bytes) do not change.
    m_orders = relocalized(m_orders);
    m_restDays = relocalized(m_restDays);
    m_dayIndexValid = false;
    Q_EMIT ordersChanged();
    Q_EMIT restDaysChanged();
}

bool OrderManager::setOrders(const QList<Order>& orders)
{
    for (const Order& o : orders) {
        if (!OrderCodec::isEncodable(o)) {
            logUnstorable(o.customerName);
            return false;
        }
    }
    m_orders = relocalized(orders);
    m_encoded = QList<QByteArray>(m_orders.size());
    ordersDidChange();
    return true;
}

bool OrderManager::setRestDays(const QList<RestDay>& days)
{
    for (const RestDay& d : days) {
        if (!d.date.isValid()) {
            logUnstorable(OrderbookKeys::restDays);
            return false;
        }
    }
    m_restDays = relocalized(days);
    Q_EMIT restDaysChanged();
    return true;
}

void OrderManager::load()
{
    if (const auto bytes = m_storedOrders.read()) {
        QList<QByteArray> elements;
        if (auto list = OrderCodec::decodeStoredOrders(*bytes, elements)) {
            m_storedOrders.markReadable(*bytes);
            m_orders = std::move(*list);
            m_encoded = std::move(elements);
            ordersDidChange();
        } else {
            m_storedOrders.markUnreadable(*bytes);
        }
    }
    if (const auto bytes = m_storedRestDays.read()) {
        if (auto list = OrderCodec::decodeRestDays(*bytes)) {
            m_storedRestDays.markReadable(*bytes);
            m_restDays = std::move(*list);
            Q_EMIT restDaysChanged();
        } else {
            m_storedRestDays.markUnreadable(*bytes);
        }
    }
}

bool OrderManager::save()
{
    QVariantMap batch;
    bool staged = true;
    if (const auto bytes = encodeOrders())
        staged = m_storedOrders.stage(*bytes, batch);
    else
        logUnstorable(m_storedOrders.key());

    if (const auto bytes = OrderCodec::encodeRestDays(m_restDays))
        staged = m_storedRestDays.stage(*bytes, batch) && staged;
    else
        logUnstorable(m_storedRestDays.key());
    // Both lists in one rewrite of the preference file, all or nothing.
    m_lastSaveError.clear();
    if (!staged)
        m_lastSaveError = QStringLiteral("无法另存无法读取的旧数据");
    else if (!batch.isEmpty() && !m_store.setValues(batch))
        m_lastSaveError = m_store.lastWriteError();
    if (m_lastSaveError.isEmpty())
        return true;
    Log::line(QStringLiteral("❌ [订单] 保存失败: ") + m_lastSaveError);
    Q_EMIT saveFailed(m_lastSaveError);
    return false;
}

bool OrderManager::saveOrUndo(const std::function<void()>& undo)
{
    if (save())
        return true;
    undo();
    ordersDidChange();
    return false;
}

bool OrderManager::saveOrRestore(qsizetype i, Order before, QByteArray encodedBefore)
{
    return saveOrUndo([&] {
        m_orders[i] = std::move(before);
        m_encoded[i] = std::move(encodedBefore);
    });
}

std::optional<UserDefaults::Pieces> OrderManager::encodeOrders()
{
    for (qsizetype i = 0; i < m_orders.size(); ++i) {
        if (!m_encoded[i].isEmpty())
            continue;
        auto one = OrderCodec::encodeOrder(m_orders[i]);
        if (!one)
            return std::nullopt;
        m_encoded[i] = std::move(*one);
    }
    return UserDefaults::Pieces{QByteArrayLiteral("["), m_encoded, QByteArrayLiteral(","), QByteArrayLiteral("]")};
}

int OrderManager::indexOf(const QUuid& id) const
{
    for (int i = 0; i < m_orders.size(); ++i) {
        if (m_orders[i].id == id)
            return i;
    }
    return -1;
}

void OrderManager::ordersDidChange()
{
    m_dayIndexValid = false;
    Q_EMIT ordersChanged();
}

bool OrderManager::addOrder(const Order& order)
{
    m_lastSaveError.clear();
    if (!OrderCodec::isEncodable(order)) {
        logUnstorable(order.customerName);
        return false;
    }
    m_orders.append(relocalized(order));
    m_encoded.append(QByteArray());
    ordersDidChange();
    return saveOrUndo([this] {
        m_orders.removeLast();
        m_encoded.removeLast();
    });
}

QList<Order> OrderManager::addOrders(const QList<Order>& orders)
{
    QList<Order> added;
    for (const Order& o : orders) {
        if (!OrderCodec::isEncodable(o)) {
            logUnstorable(o.customerName);
            continue;
        }
        m_orders.append(o);
        m_encoded.append(QByteArray());
        added.append(o);
    }
    if (!added.isEmpty()) {
        ordersDidChange();
        if (!saveOrUndo([&] {
                m_orders.resize(m_orders.size() - added.size());
                m_encoded.resize(m_encoded.size() - added.size());
            }))
            added.clear();
    }
    return added;
}

std::optional<Order> OrderManager::order(const QUuid& id) const
{
    const int i = indexOf(id);
    if (i < 0)
        return std::nullopt;
    return m_orders.at(i);
}

bool OrderManager::updateOrder(const Order& order)
{
    m_lastSaveError.clear();
    const int i = indexOf(order.id);
    if (i < 0)
        return false;
    if (!OrderCodec::isEncodable(order)) {
        logUnstorable(order.customerName);
        return false;
    }
    Order before = std::exchange(m_orders[i], relocalized(order));
    QByteArray encodedBefore = std::exchange(m_encoded[i], QByteArray());
    ordersDidChange();
    return saveOrRestore(i, std::move(before), std::move(encodedBefore));
}

bool OrderManager::deleteOrder(const Order& order)
{
    QList<Order> going;
    for (const Order& o : m_orders) {
        if (o.id == order.id)
            going.append(o);
    }
    // The caller's copy may carry an event the stored one lost, or be the
    // only one left.
    if (going.isEmpty() || going.first().calendarEventIdentifier != order.calendarEventIdentifier)
        going.prepend(order);
    return removeAnnounced({order.id}, going) >= 0;
}

int OrderManager::deleteOrders(const QList<QUuid>& ids)
{
    const QSet<QUuid> wanted(ids.cbegin(), ids.cend());
    QList<Order> going;
    for (const Order& o : m_orders) {
        if (wanted.contains(o.id))
            going.append(o);
    }
    if (going.isEmpty())
        return 0;
    return std::max(removeAnnounced(wanted, going), 0);
}

int OrderManager::removeAnnounced(const QSet<QUuid>& ids, const QList<Order>& going)
{
    if (m_deleteAnnouncer)
        m_deleteAnnouncer(going, true);
    // An order the disk kept keeps its event and reminders.
    const int removed = removeOrders(ids);
    if (removed < 0) {
        if (m_deleteAnnouncer)
            m_deleteAnnouncer(going, false);
        return removed;
    }
    if (m_eventDeleter)
        m_eventDeleter(going);
    return removed;
}

int OrderManager::removeOrders(const QSet<QUuid>& ids)
{
    // One pass keeps the rest in order; removing one by one would move the
    // tail of a long list once per order.
    QList<Order> kept;
    QList<QByteArray> keptEncoded;
    kept.reserve(m_orders.size());
    keptEncoded.reserve(m_orders.size());
    for (qsizetype i = 0; i < m_orders.size(); ++i) {
        if (!ids.contains(m_orders[i].id)) {
            kept.append(m_orders[i]);
            keptEncoded.append(m_encoded[i]);
        }
    }
    const int removed = int(m_orders.size() - kept.size());
    QList<Order> before = std::exchange(m_orders, std::move(kept));
    QList<QByteArray> encodedBefore = std::exchange(m_encoded, std::move(keptEncoded));
    ordersDidChange();
    if (!saveOrUndo([&] {
            m_orders = std::move(before);
            m_encoded = std::move(encodedBefore);
        }))
        return -1;
    return removed;
}

int OrderManager::setCalendarEventIdentifiers(const QHash<QUuid, QString>& identifiers)
{
    int found = 0;
    QList<std::tuple<int, std::optional<QString>, QByteArray>> undo;
    undo.reserve(identifiers.size());
    for (auto it = identifiers.cbegin(); it != identifiers.cend(); ++it) {
        const int i = indexOf(it.key());
        if (i < 0)
            continue;
        ++found;
        if (m_orders[i].calendarEventIdentifier == it.value())
            continue;
        undo.append({i, m_orders[i].calendarEventIdentifier, m_encoded[i]});
        m_orders[i].calendarEventIdentifier = it.value();
        m_encoded[i].clear();
    }
    if (!undo.isEmpty()) {
        ordersDidChange();
        if (!saveOrUndo([&] {
                for (const auto& [i, identifier, encoded] : undo) {
                    m_orders[i].calendarEventIdentifier = identifier;
                    m_encoded[i] = encoded;
                }
            }))
            return 0;
    }
    return found;
}

bool OrderManager::addPayment(const Order& order, double amount, const QString& note)
{
    const int i = indexOf(order.id);
    if (i < 0)
        return false;
    if (!std::isfinite(amount)) {
        logUnstorable(m_orders[i].customerName);
        return false;
    }
    Order copy = m_orders[i];
    copy.payments.append(PaymentRecord(amount, LocalCalendar::relocalized(QDateTime::currentDateTime()), note));
    copy.status = autoCalculateStatus(copy);
    Order before = std::exchange(m_orders[i], copy);
    QByteArray encodedBefore = std::exchange(m_encoded[i], QByteArray());
    ordersDidChange();
    return saveOrRestore(i, std::move(before), std::move(encodedBefore));
}

bool OrderManager::markShootCompleted(const Order& order)
{
    const int i = indexOf(order.id);
    if (i < 0)
        return false;
    Order copy = m_orders[i];
    copy.status = copy.pendingAmount() > 0 ? OrderStatus::pendingBalance : OrderStatus::completed;
    Order before = std::exchange(m_orders[i], copy);
    QByteArray encodedBefore = std::exchange(m_encoded[i], QByteArray());
    ordersDidChange();
    return saveOrRestore(i, std::move(before), std::move(encodedBefore));
}

OrderStatus OrderManager::autoCalculateStatus(const Order& order)
{
    // In whole cents, so a total of 1000.1 paid as 300.05 + 700.05 settles.
    const qint64 received = Money::cents(order.receivedAmount());
    const qint64 total = Money::cents(order.totalAmount);
    if (received >= total && total > 0)
        return OrderStatus::completed;
    if (received <= 0)
        return OrderStatus::pendingDeposit;
    if (order.shootDate < QDate::currentDate().startOfDay())
        return OrderStatus::pendingBalance;
    return OrderStatus::pendingShoot;
}

bool OrderManager::hasOrderWithCalendarEventIdentifier(const QString& identifier) const
{
    return std::any_of(m_orders.cbegin(), m_orders.cend(), [&](const Order& o) {
        return o.calendarEventIdentifier && *o.calendarEventIdentifier == identifier;
    });
}

const QHash<QDate, QList<int>>& OrderManager::dayIndex() const
{
    if (!m_dayIndexValid || m_dayIndexGeneration != LocalCalendar::generation()) {
        m_dayIndexGeneration = LocalCalendar::generation();
        m_dayIndex.clear();
        for (int i = 0; i < m_orders.size(); ++i)
            m_dayIndex[m_orders[i].shootDay()].append(i);
        m_dayIndexValid = true;
    }
    return m_dayIndex;
}

QList<Order> OrderManager::ordersFor(const QDate& day) const
{
    QList<Order> out;
    const auto& index = dayIndex();
    const auto it = index.constFind(day);
    if (it == index.constEnd())
        return out;
    out.reserve(it->size());
    for (int i : *it)
        out.append(m_orders[i]);
    return out;
}

QList<Order> OrderManager::ordersIn(const QDate& month) const
{
    QList<Order> out;
    for (const Order& o : m_orders) {
        if (sameMonth(o.shootDay(), month))
            out.append(o);
    }
    return out;
}

bool OrderManager::isRestDay(const QDate& day) const
{
    return std::any_of(m_restDays.cbegin(), m_restDays.cend(), [&](const RestDay& r) { return r.day() == day; });
}

bool OrderManager::toggleRestDay(const QDate& day)
{
    if (!day.isValid())
        return false;
    const QList<RestDay> before = m_restDays;
    const auto it = std::find_if(m_restDays.begin(), m_restDays.end(), [&](const RestDay& r) { return r.day() == day; });
    if (it != m_restDays.end())
        m_restDays.erase(it);
    else
        m_restDays.append(relocalized(RestDay(day)));
    Q_EMIT restDaysChanged();
    if (save())
        return true;
    m_restDays = before;
    Q_EMIT restDaysChanged();
    return false;
}

int OrderManager::maxOrdersPerDay() const
{
    const qint64 stored = m_store.integer(OrderbookKeys::maxOrdersPerDay);
    if (stored >= 1)
        return int(std::min<qint64>(stored, std::numeric_limits<int>::max()));
    return 10;
}

bool OrderManager::isDayFull(const QDate& day) const
{
    const auto& index = dayIndex();
    const auto it = index.constFind(day);
    const qsizetype count = it == index.constEnd() ? 0 : it->size();
    return count >= maxOrdersPerDay();
}

double OrderManager::totalRevenue(const QDate& day) const
{
    double sum = 0;
    const auto& index = dayIndex();
    const auto it = index.constFind(day);
    if (it != index.constEnd()) {
        for (int i : *it)
            sum += m_orders[i].totalAmount;
    }
    return sum;
}

namespace {

// Sums payment amounts in store order over the payments `keep` accepts.
template <typename Pred>
double sumPayments(const QList<Order>& orders, Pred keep)
{
    double sum = 0;
    for (const Order& o : orders) {
        for (const PaymentRecord& p : o.payments) {
            if (keep(p))
                sum += p.amount;
        }
    }
    return sum;
}

// Sums order totals over the orders whose completion day `keep` accepts.
template <typename Pred>
double sumCompleted(const QList<Order>& orders, Pred keep)
{
    double sum = 0;
    for (const Order& o : orders) {
        if (const auto done = o.completedDate(); done && keep(localDay(*done)))
            sum += o.totalAmount;
    }
    return sum;
}

}

double OrderManager::revenueByPaymentDateIn(const QDate& month) const
{
    return sumPayments(m_orders, [&](const PaymentRecord& p) { return sameMonth(localDay(p.date), month); });
}

double OrderManager::revenueByPaymentDateFor(const QDate& day) const
{
    return sumPayments(m_orders, [&](const PaymentRecord& p) { return localDay(p.date) == day; });
}

double OrderManager::totalReceivedByCashMode() const
{
    return sumPayments(m_orders, [](const PaymentRecord&) { return true; });
}

double OrderManager::yearRevenueByCashMode() const
{
    const int year = QDate::currentDate().year();
    return sumPayments(m_orders, [&](const PaymentRecord& p) { return localDay(p.date).year() == year; });
}

double OrderManager::totalRevenueByCompletedMode() const
{
    return sumCompleted(m_orders, [](const QDate&) { return true; });
}

double OrderManager::todayRevenueByCompletedMode() const
{
    const QDate today = QDate::currentDate();
    return sumCompleted(m_orders, [&](const QDate& d) { return d == today; });
}

double OrderManager::monthRevenueByCompletedMode() const
{
    const QDate today = QDate::currentDate();
    return sumCompleted(m_orders, [&](const QDate& d) { return sameMonth(d, today); });
}

double OrderManager::yearRevenueByCompletedMode() const
{
    const int year = QDate::currentDate().year();
    return sumCompleted(m_orders, [&](const QDate& d) { return d.year() == year; });
}

double OrderManager::totalReceivedAll() const
{
    double sum = 0;
    for (const Order& o : m_orders)
        sum += o.receivedAmount();
    return sum;
}

double OrderManager::totalPending() const
{
    double sum = 0;
    for (const Order& o : m_orders)
        sum += o.pendingAmount();
    return sum;
}

int OrderManager::monthOrderCount() const
{
    const QDate today = QDate::currentDate();
    return int(std::count_if(m_orders.cbegin(), m_orders.cend(),
                             [&](const Order& o) { return sameMonth(o.shootDay(), today); }));
}

QList<RevenueTrendRow> OrderManager::monthlyRevenueTrend(int months) const
{
    QList<RevenueTrendRow> rows;
    if (months <= 0)
        return rows;
    const QDate today = QDate::currentDate();
    QHash<int, int> rowOfMonth;
    for (int k = months - 1; k >= 0; --k) {
        const QDate month = today.addMonths(-k);
        if (!month.isValid())
            continue;
        rowOfMonth.insert(monthKey(month), int(rows.size()));
        rows.append(RevenueTrendRow{QString::number(month.month()) + QStringLiteral("月"), 0, 0, 0});
    }
    // One pass, summing in store order into each month's row.
    for (const Order& o : m_orders) {
        if (const auto it = rowOfMonth.constFind(monthKey(o.shootDay())); it != rowOfMonth.constEnd())
            rows[*it].revenue += o.totalAmount;
        for (const PaymentRecord& p : o.payments) {
            if (const auto it = rowOfMonth.constFind(monthKey(localDay(p.date))); it != rowOfMonth.constEnd())
                rows[*it].received += p.amount;
        }
        if (const auto done = o.completedDate()) {
            if (const auto it = rowOfMonth.constFind(monthKey(localDay(*done))); it != rowOfMonth.constEnd())
                rows[*it].completed += o.totalAmount;
        }
    }
    return rows;
}

QString OrderManager::exportCSV(const QDate& startDay, const QDate& endDay) const
{
    const QDateTime lower = startDay.startOfDay();
    const QDateTime upper = endDay.addDays(1).startOfDay();
    QList<const Order*> selected;
    for (const Order& o : m_orders) {
        if (o.shootDate >= lower && o.shootDate < upper)
            selected.append(&o);
    }
    std::stable_sort(selected.begin(), selected.end(),
                     [](const Order* a, const Order* b) { return a->shootDate < b->shootDate; });

    QString csv = QStringLiteral("客户姓名,联系电话,套系类型,拍摄日期,拍摄时段,订单总额,已收金额,待收金额,订单状态,备注\n");
    csv.reserve(csv.size() + selected.size() * 80);
    const QChar comma(QLatin1Char(','));
    for (const Order* o : selected) {
        csv += csvField(o->customerName) % comma % csvField(o->phone) % comma % csvField(o->packageType) % comma
            % isoDay(o->shootDay()) % comma % rawValue(o->timeSlot)
            % comma % Money::twoDecimals(o->totalAmount) % comma % Money::twoDecimals(o->receivedAmount()) % comma
            % Money::twoDecimals(o->pendingAmount()) % comma % rawValue(o->status) % comma % csvField(o->note)
            % QLatin1Char('\n');
    }
    return csv;
}
