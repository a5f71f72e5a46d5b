#include "OrdersFixture.h"

#include "orderbook/Money.h"
#include "orderbook/OrderSearch.h"
#include "orders/StatsEngine.h"
#include "orders/TrendChartGeometry.h"

#include <QRandomGenerator>

namespace {

using StatsEngineTest = OrdersFixture;

const QDateTime kNow = QDateTime(QDate(2026, 3, 15), QTime(12, 0));

Order make(const QString& name, const QString& phone, const QDateTime& shoot, double total,
           const QList<PaymentRecord>& payments, OrderStatus status)
{
    Order o = Order::blank();
    o.customerName = name;
    o.phone = phone;
    o.packageType = "标准";
    o.shootDate = o.shootTime = shoot;
    o.totalAmount = total;
    o.payments = payments;
    o.status = status;
    return o;
}

QList<Order> edgeCases()
{
    const QDateTime today(QDate(2026, 3, 15), QTime(9, 0));
    const QDateTime shoot(QDate(2026, 3, 20), QTime(10, 0));
    const auto p = [](double a, const QDateTime& d) { return PaymentRecord(a, d, ""); };
    return {
        make("李四", "13912345678", QDateTime(QDate(2026, 4, 1), QTime(10, 0)), 1000, {p(300, today)},
             OrderStatus::pendingShoot),
        make("王五", "13800000002", shoot, 500, {p(200, today)}, OrderStatus::cancelled),
        make("赵六", "13800000003", shoot, 800, {p(300, QDateTime(QDate(2026, 2, 10), QTime(9, 0))), p(500, today)},
             OrderStatus::completed),
        make("钱七", "13800000004", shoot, 0, {p(50, today)}, OrderStatus::completed),
        make("孙八", "13800000005", shoot, 100, {p(100, QDateTime(QDate(2026, 3, 14), QTime(23, 59)))},
             OrderStatus::completed),
        make("周九", "13800000006", QDateTime(QDate(2025, 12, 20), QTime(9, 0)), 400,
             {p(400, QDateTime(QDate(2025, 12, 20), QTime(9, 0)))}, OrderStatus::completed),
        make("吴十", "13800000007", shoot, 600, {p(600, today)}, OrderStatus::pendingShoot),
    };
}

struct Expected
{
    ModeFigures cash, done;
    qint64 received, pending;
    int monthCount;
};

ModeFigures yuan(qint64 today, qint64 month, qint64 year, qint64 average, qint64 cumulative)
{
    return {today * 100, month * 100, year * 100, average * 100, cumulative * 100};
}

TEST_F(StatsEngineTest, FiguresOfBothModesFollowTheSearch)
{
    struct Row { QString search; bool searching; Expected e; };
    const Row rows[] = {
        // Yesterday 23:59, last December, total 0, paid-but-open and cancelled all fall where they belong.
        {"", false, {yuan(1650, 1750, 2050, 250, 2450), yuan(800, 900, 900, 450, 1300), 245000, 100000, 5}},
        {" \n\t", false, {yuan(1650, 1750, 2050, 250, 2450), yuan(800, 900, 900, 450, 1300), 245000, 100000, 5}},
        {"1234", true, {yuan(300, 300, 300, 300, 300), yuan(0, 0, 0, 0, 0), 30000, 70000, 0}},
        {"王五", true, {yuan(200, 200, 200, 200, 200), yuan(0, 0, 0, 0, 0), 20000, 30000, 1}},
        {"nobody", true, {yuan(0, 0, 0, 0, 0), yuan(0, 0, 0, 0, 0), 0, 0, 0}},
    };
    const QList<Order> list = edgeCases();
    for (const Row& r : rows) {
        const StatsFigures f = StatsEngine::computeFigures(list, r.search, {}, kNow);
        SCOPED_TRACE(r.search.toStdString());
        EXPECT_EQ(f.isSearching, r.searching);
        EXPECT_EQ(f.modes[0], r.e.cash);
        EXPECT_EQ(f.modes[1], r.e.done);
        EXPECT_EQ(f.receivedTotal, r.e.received);
        EXPECT_EQ(f.pendingTotal, r.e.pending);
        EXPECT_EQ(f.monthOrderCount, r.e.monthCount);
    }
}

TEST_F(StatsEngineTest, AveragesCountPaidOrdersOfAnyMonthAndSumInCents)
{
    const QDateTime lastMonth(QDate(2026, 2, 3), QTime(9, 0));
    const QList<Order> list{
        make("a", "1", kNow, 400, {pay(400, kNow)}, OrderStatus::completed),
        make("b", "2", kNow, 900, {pay(200, kNow)}, OrderStatus::pendingShoot),
        make("c", "3", kNow, 900, {pay(100, lastMonth)}, OrderStatus::pendingShoot),
        make("d", "4", kNow, 4000, {pay(858.26, kNow), pay(2731.22, kNow), pay(0.52, kNow)}, OrderStatus::pendingShoot),
    };
    const StatsFigures three = StatsEngine::computeFigures(list.mid(0, 3), "", {}, kNow);
    EXPECT_EQ(Money::centsYuanText(three.modes[0].average), "¥200");
    const StatsFigures cents = StatsEngine::computeFigures(list.mid(3), "", {}, kNow);
    EXPECT_EQ(Money::centsYuanText(cents.receivedTotal), "¥3590");
}

TEST_F(StatsEngineTest, UnsearchedFiguresAreTheStoreRoutinesToTheCent)
{
    QRandomGenerator rng(7);
    const QDateTime now = QDateTime::currentDateTime();
    const OrderStatus statuses[] = {OrderStatus::pendingShoot, OrderStatus::completed, OrderStatus::cancelled};
    QList<Order> list;
    for (int i = 0; i < 400; ++i) {
        const QDateTime shoot = now.addSecs(-qint64(rng.bounded(400 * 86400)));
        QList<PaymentRecord> payments;
        double paid = 0;
        for (int k = rng.bounded(4); k > 0; --k) {
            const double amount = rng.bounded(300000) / 100.0;
            paid += amount;
            payments.append(pay(amount, now.addSecs(-qint64(rng.bounded(400 * 86400)))));
        }
        const double total = i % 3 ? paid : rng.bounded(500000) / 100.0;
        list.append(make("客户", "13800138000", shoot, total, payments, statuses[i % 3]));
    }
    ASSERT_TRUE(orders->setOrders(list));
    const auto c = [](double v) { return Money::cents(v); };
    for (const QString search : {"", "138"}) {
        const StatsFigures f = StatsEngine::computeFigures(orders->orders(), search, {}, now);
        const QDate today = now.date();
        EXPECT_EQ(f.modes[0].today, c(orders->revenueByPaymentDateFor(today)));
        EXPECT_EQ(f.modes[0].month, c(orders->revenueByPaymentDateIn(today)));
        EXPECT_EQ(f.modes[0].year, c(orders->yearRevenueByCashMode()));
        EXPECT_EQ(f.modes[0].cumulative, c(orders->totalReceivedByCashMode()));
        EXPECT_EQ(f.modes[1].today, c(orders->todayRevenueByCompletedMode()));
        EXPECT_EQ(f.modes[1].month, c(orders->monthRevenueByCompletedMode()));
        EXPECT_EQ(f.modes[1].year, c(orders->yearRevenueByCompletedMode()));
        EXPECT_EQ(f.modes[1].cumulative, c(orders->totalRevenueByCompletedMode()));
        EXPECT_EQ(f.receivedTotal, c(orders->totalReceivedAll()));
        EXPECT_EQ(f.pendingTotal, c(orders->totalPending()));
        EXPECT_EQ(f.monthOrderCount, orders->monthOrderCount());
        EXPECT_EQ(f.filtered.size(), list.size());
    }
}

TEST_F(StatsEngineTest, FilteredOrdersAreLatestFirstAndStable)
{
    const QDateTime early(QDate(2026, 1, 1), QTime(9, 0));
    const QList<Order> list{make("a", "1", early, 1, {}, OrderStatus::pendingShoot),
                            make("b", "1", kNow, 1, {}, OrderStatus::pendingShoot),
                            make("c", "1", early, 1, {}, OrderStatus::pendingShoot)};
    EXPECT_EQ(StatsEngine::computeFigures(list, "1", {}, kNow).filtered, QList<int>({1, 0, 2}));
    // The engine's folded search keeps exactly what the shared predicate keeps.
    QList<Order> people = edgeCases();
    people.append(make("Anna ÄLM", "00", kNow, 1, {}, OrderStatus::pendingShoot));
    for (const QString text : {"anna", "äl", "ALM", "1380000000", "五", "x"}) {
        QStringList engine, shared;
        for (int i : StatsEngine::computeFigures(people, text, {}, kNow).filtered)
            engine.append(people[i].customerName);
        for (const Order& o : orderMatchesSearch(people, text))
            shared.append(o.customerName);
        std::sort(engine.begin(), engine.end());
        std::sort(shared.begin(), shared.end());
        EXPECT_EQ(engine, shared) << text.toStdString();
    }
}

TEST_F(StatsEngineTest, PackageShareRowsGroupExactNamesLargestFirst)
{
    const auto withPackage = [&](const QString& package, double paid, OrderStatus status = OrderStatus::pendingShoot) {
        Order o = make("x", "1", kNow, paid, {pay(paid, kNow)}, status);
        o.packageType = package;
        return o;
    };
    const auto rows = StatsEngine::packageShare({withPackage("A", 1000), withPackage("B", 2000),
                                                 withPackage("A", 3000, OrderStatus::completed), withPackage("A ", 0),
                                                 withPackage("C", 0), withPackage("", 500, OrderStatus::cancelled)});
    const QList<PackageShareRow> cash{{"A", 400000, 2}, {"B", 200000, 1}, {"", 50000, 1}, {"A ", 0, 1}, {"C", 0, 1}};
    EXPECT_EQ(rows[0], cash);
    EXPECT_EQ(rows[1], QList<PackageShareRow>({{"A", 300000, 1}}));
}

TEST_F(StatsEngineTest, ChartGeometryScalesBarsToTheLargestShownValue)
{
    const QSizeF size(400, 140);
    const qreal area = 140 - TrendChartGeometry::kValueLabelHeight - TrendChartGeometry::kMonthLabelHeight - 8;
    struct Row { QList<TrendPoint> points; int mode; QList<qreal> heights; QStringList labels; };
    const Row rows[] = {
        {{{"1月", 300000, 0}, {"2月", 150000, 0}}, 0, {area, area / 2}, {"¥3000", "¥1500"}},
        {{{"1月", 300000, 0}, {"2月", 150000, 0}}, 1, {4, 4}, {"¥0", "¥0"}},
        {{{"1月", 50, 50}, {"2月", 50, 50}}, 0, {area / 2, area / 2}, {"¥0", "¥0"}},
        {{{"1月", 0, 0}, {"2月", 0, 500000}}, 1, {4, area}, {"¥0", "¥5000"}},
        {{{"1月", -20000, 0}}, 0, {4}, {"¥-200"}},
        {{}, 0, {}, {}},
    };
    for (const Row& r : rows) {
        const TrendChartGeometry g = TrendChartGeometry::layout(r.points, r.mode, size);
        ASSERT_EQ(g.columns.size(), r.heights.size());
        for (int i = 0; i < g.columns.size(); ++i) {
            EXPECT_NEAR(g.columns[i].bar.height(), r.heights[i], 0.01);
            EXPECT_EQ(g.columns[i].valueText, r.labels[i]);
            EXPECT_EQ(g.columns[i].bar.bottom(), g.columns[i].barArea.bottom());
        }
    }
    // Twelve months share the width, oldest at the leading edge.
    QList<TrendPoint> year;
    for (int m = 1; m <= 12; ++m)
        year.append({QString::number(m) + "月", 0, 0});
    const TrendChartGeometry g = TrendChartGeometry::layout(year, 0, QSizeF(1100, 140));
    ASSERT_EQ(g.columns.size(), 12);
    EXPECT_EQ(g.columns.first().monthText, "1月");
    EXPECT_NEAR(g.columns.last().column.right(), 1100, 0.01);
    EXPECT_EQ(g.maxValue, 100);
}

TEST_F(StatsEngineTest, RecomputesOncePerStoreOrSearchChange)
{
    orders->addOrder(make("张三", "13800000000", kNow, 500, {pay(500, QDateTime::currentDateTime())},
                          OrderStatus::completed));
    StatsEngine engine(*orders, "张");
    const int start = engine.recomputeCount();
    engine.setSearchText("张");
    EXPECT_EQ(engine.recomputeCount(), start);
    engine.setSearchText("李");
    EXPECT_EQ(engine.figures().receivedTotal, 0);
    orders->addOrder(make("李四", "13800000001", kNow, 100, {pay(100, QDateTime::currentDateTime())},
                          OrderStatus::pendingShoot));
    EXPECT_EQ(engine.recomputeCount(), start + 2);
    EXPECT_EQ(engine.figures().receivedTotal, 10000);
    EXPECT_EQ(engine.trend(), StatsEngine::trendInCents(orders->monthlyRevenueTrend(12)));
    EXPECT_EQ(engine.filteredOrders().constFirst().customerName, "李四");
}

}
