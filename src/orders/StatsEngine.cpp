#include "StatsEngine.h"

#include "orderbook/LocalCalendar.h"
#include "orderbook/Money.h"
#include "orderbook/OrderManager.h"

#include <QHash>

#include <algorithm>

namespace {

// Day, month and year windows as Julian day ranges: asking a QDate for its
// year or month converts the calendar every time.
struct Windows
{
    explicit Windows(const QDate& today)
        : day(today.toJulianDay())
        , monthFirst(QDate(today.year(), today.month(), 1).toJulianDay())
        , monthLast(monthFirst + today.daysInMonth() - 1)
        , yearFirst(QDate(today.year(), 1, 1).toJulianDay())
        , yearLast(QDate(today.year(), 12, 31).toJulianDay())
    {
    }
    bool sameDay(qint64 jd) const { return jd == day; }
    bool sameMonth(qint64 jd) const { return jd >= monthFirst && jd <= monthLast; }
    bool sameYear(qint64 jd) const { return jd >= yearFirst && jd <= yearLast; }
    qint64 day, monthFirst, monthLast, yearFirst, yearLast;
};

void add(qint64& sum, qint64 cents)
{
    sum = Money::addCents(sum, cents);
}

bool passesFilters(const Order& o, const StatsFilters& f)
{
    if (f.status != QStringLiteral("全部") && rawValue(o.status) != f.status)
        return false;
    return f.package == QStringLiteral("全部") || o.packageType == f.package;
}

}

StatsFacts StatsEngine::facts(const QList<Order>& orders)
{
    StatsFacts f;
    f.orders.reserve(orders.size());
    QList<std::pair<qint64, int>> byShoot;
    byShoot.reserve(orders.size());
    for (int i = 0; i < orders.size(); ++i) {
        const Order& o = orders[i];
        OrderFacts of;
        of.foldedName = o.customerName.toCaseFolded();
        of.foldedPhone = o.phone.toCaseFolded();
        of.shootDay = o.shootDay().toJulianDay();
        of.total = Money::cents(o.totalAmount);
        of.firstPayment = int(f.payments.size());
        of.paymentCount = int(o.payments.size());
        for (const PaymentRecord& p : o.payments) {
            const qint64 c = Money::cents(p.amount);
            of.received = Money::addCents(of.received, c);
            f.payments.append({LocalCalendar::dayOf(p.date).toJulianDay(), c});
        }
        if (const auto completed = o.completedDate())
            of.completedDay = LocalCalendar::dayOf(*completed).toJulianDay();
        f.orders.append(of);
        byShoot.append({o.shootDate.toMSecsSinceEpoch(), i});
    }
    std::stable_sort(byShoot.begin(), byShoot.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    f.latestShootFirst.reserve(byShoot.size());
    for (const auto& entry : byShoot)
        f.latestShootFirst.append(entry.second);
    return f;
}

StatsFigures StatsEngine::computeFigures(const QList<Order>& orders, const QString& searchText,
                                         const StatsFilters& filters, const QDateTime& now)
{
    return computeFigures(orders, facts(orders), searchText, filters, now);
}

StatsFigures StatsEngine::computeFigures(const QList<Order>& orders, const StatsFacts& facts,
                                         const QString& searchText, const StatsFilters& filters, const QDateTime& now)
{
    StatsFigures r;
    const QString search = searchText.trimmed().toCaseFolded();
    r.isSearching = !search.isEmpty();
    const Windows w(LocalCalendar::dayOf(now));
    ModeFigures& cash = r.modes[0];
    ModeFigures& done = r.modes[1];
    int paidOrders = 0;
    int completedThisMonth = 0;
    r.filtered.reserve(orders.size());
    // Walked latest shoot first, so the kept orders come out in that order.
    for (int i : facts.latestShootFirst) {
        const OrderFacts& of = facts.orders[i];
        // Not searching, the figures are the store's over every order.
        if (r.isSearching
            && ((!of.foldedName.contains(search) && !of.foldedPhone.contains(search))
                || !passesFilters(orders[i], filters)))
            continue;
        r.filtered.append(i);
        for (int k = of.firstPayment; k < of.firstPayment + of.paymentCount; ++k) {
            const auto [day, c] = facts.payments[k];
            if (w.sameYear(day)) {
                add(cash.year, c);
                if (w.sameMonth(day)) {
                    add(cash.month, c);
                    if (w.sameDay(day))
                        add(cash.today, c);
                }
            }
        }
        add(r.receivedTotal, of.received);
        add(r.pendingTotal, std::max<qint64>(0, of.total - of.received));
        if (of.paymentCount > 0)
            ++paidOrders;
        if (w.sameMonth(of.shootDay))
            ++r.monthOrderCount;
        if (of.completedDay) {
            const qint64 day = *of.completedDay;
            add(done.cumulative, of.total);
            if (w.sameYear(day)) {
                add(done.year, of.total);
                if (w.sameMonth(day)) {
                    add(done.month, of.total);
                    ++completedThisMonth;
                    if (w.sameDay(day))
                        add(done.today, of.total);
                }
            }
        }
    }
    cash.cumulative = r.receivedTotal;
    cash.average = paidOrders ? cash.month / paidOrders : 0;
    done.average = completedThisMonth ? done.month / completedThisMonth : 0;
    return r;
}

std::array<QList<PackageShareRow>, 2> StatsEngine::packageShare(const QList<Order>& orders)
{
    std::array<QList<PackageShareRow>, 2> rows;
    std::array<QHash<QString, int>, 2> rowOf;
    auto entry = [&](int mode, const QString& name) -> PackageShareRow& {
        auto it = rowOf[mode].constFind(name);
        if (it == rowOf[mode].constEnd()) {
            it = rowOf[mode].insert(name, int(rows[mode].size()));
            rows[mode].append(PackageShareRow{name, 0, 0});
        }
        return rows[mode][*it];
    };
    for (const Order& o : orders) {
        PackageShareRow& cash = entry(0, o.packageType);
        for (const PaymentRecord& p : o.payments)
            add(cash.amount, Money::cents(p.amount));
        ++cash.count;
        if (o.completedDate()) {
            PackageShareRow& done = entry(1, o.packageType);
            add(done.amount, Money::cents(o.totalAmount));
            ++done.count;
        }
    }
    for (auto& list : rows) {
        std::stable_sort(list.begin(), list.end(),
                         [](const PackageShareRow& a, const PackageShareRow& b) { return a.amount > b.amount; });
    }
    return rows;
}

QList<TrendPoint> StatsEngine::trendInCents(const QList<RevenueTrendRow>& rows)
{
    QList<TrendPoint> points;
    points.reserve(rows.size());
    for (const RevenueTrendRow& r : rows)
        points.append(TrendPoint{r.month, Money::cents(r.received), Money::cents(r.completed)});
    return points;
}

StatsEngine::StatsEngine(OrderManager& store, const QString& searchText, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_search(searchText)
{
    m_midnight.setSingleShot(true);
    connect(&m_midnight, &QTimer::timeout, this, [this] {
        recomputeAll();
        Q_EMIT changed();
    });
    connect(&m_store, &OrderManager::ordersChanged, this, [this] {
        recomputeAll();
        Q_EMIT changed();
    });
    recomputeAll();
}

void StatsEngine::setSearchText(const QString& text)
{
    if (text == m_search)
        return;
    m_search = text;
    recomputeFigures();
    Q_EMIT changed();
}

void StatsEngine::setClock(Clock clock)
{
    m_clock = std::move(clock);
    recomputeAll();
    Q_EMIT changed();
}

QList<Order> StatsEngine::filteredOrders() const
{
    QList<Order> list;
    list.reserve(m_figures.filtered.size());
    for (int i : m_figures.filtered)
        list.append(m_store.orders()[i]);
    return list;
}

void StatsEngine::recomputeAll()
{
    m_facts = facts(m_store.orders());
    m_share = packageShare(m_store.orders());
    m_trend = trendInCents(m_store.monthlyRevenueTrend(12));
    recomputeFigures();
    armMidnightTimer();
}

void StatsEngine::recomputeFigures()
{
    m_figures = computeFigures(m_store.orders(), m_facts, m_search, m_filters, now());
    ++m_recomputes;
}

void StatsEngine::armMidnightTimer()
{
    const QDateTime current = now();
    // A second past midnight, so the new day is certainly the current one.
    const QDateTime next = current.date().addDays(1).startOfDay().addSecs(1);
    m_midnight.start(int(std::clamp<qint64>(current.msecsTo(next), 1000, 86'401'000)));
}
