#pragma once

#include "orderbook/Order.h"
#include "orderbook/RevenueTrendRow.h"
#include "orders/StatsFigures.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>

class OrderManager;

// Every number of the income statistics screen, kept ready for painting.
// The figures follow the search text; the package share and the trend use
// all orders. Recomputed once per store change, search change or local
// midnight; switching the counting mode only picks the other half.
class StatsEngine : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    // One pass over the orders: the figures of both modes over the orders
    // the search and filters keep (all orders when the trimmed search is
    // empty), with windows taken against `now` in local time.
    static StatsFigures computeFigures(const QList<Order>& orders, const QString& searchText,
                                       const StatsFilters& filters, const QDateTime& now);
    // The same over facts taken once per store change.
    static StatsFigures computeFigures(const QList<Order>& orders, const StatsFacts& facts,
                                       const QString& searchText, const StatsFilters& filters, const QDateTime& now);
    static StatsFacts facts(const QList<Order>& orders);
    // Package rows of both modes over all orders, largest first; equal
    // amounts keep the order in which the names first appear.
    static std::array<QList<PackageShareRow>, 2> packageShare(const QList<Order>& orders);
    static QList<TrendPoint> trendInCents(const QList<RevenueTrendRow>& rows);

    explicit StatsEngine(OrderManager& store, const QString& searchText = QString(), QObject* parent = nullptr);

    void setSearchText(const QString& text);
    QString searchText() const { return m_search; }
    // Tests pin "now"; the midnight timer follows the same clock.
    void setClock(Clock clock);

    const StatsFigures& figures() const { return m_figures; }
    const QList<PackageShareRow>& shareRows(int mode) const { return m_share[mode == 0 ? 0 : 1]; }
    const QList<TrendPoint>& trend() const { return m_trend; }
    QList<Order> filteredOrders() const;
    int recomputeCount() const { return m_recomputes; }

Q_SIGNALS:
    void changed();

private:
    void recomputeAll();
    void recomputeFigures();
    void armMidnightTimer();
    QDateTime now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }

    OrderManager& m_store;
    QString m_search;
    StatsFilters m_filters;
    Clock m_clock;
    StatsFacts m_facts;
    StatsFigures m_figures;
    std::array<QList<PackageShareRow>, 2> m_share;
    QList<TrendPoint> m_trend;
    QTimer m_midnight;
    int m_recomputes = 0;
};
