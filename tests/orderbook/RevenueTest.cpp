#include "OrderbookFixture.h"

#include "orderbook/OrderManager.h"

namespace {

class RevenueTest : public OrderbookFixture
{
protected:
    static QDateTime monthsAgo(int k, int day = 10)
    {
        const QDate m = QDate::currentDate().addMonths(-k);
        return QDateTime(QDate(m.year(), m.month(), day), QTime(10, 0));
    }
    static PaymentRecord pay(double amount, const QDateTime& when) { return PaymentRecord(amount, when, ""); }
};

TEST_F(RevenueTest, CashAndCompletedModesCountOnTheirOwnDates)
{
    OrderManager manager(*store);
    const QDateTime now = QDateTime::currentDateTime();
    // Completed order paid two months ago and this month, the latest payment listed first.
    manager.addOrder(order("甲", monthsAgo(3), 1000, {pay(600, now), pay(400, monthsAgo(2))}, OrderStatus::completed));
    // Paid last month, shot this month, still open.
    manager.addOrder(order("乙", monthsAgo(0), 3000, {pay(500, monthsAgo(1))}, OrderStatus::pendingShoot));
    // Cancelled, unpaid.
    manager.addOrder(order("丙", monthsAgo(0, 1), 800, {}, OrderStatus::cancelled));
    // Overpaid, same month last year, completed then.
    manager.addOrder(order("丁", monthsAgo(12), 200, {pay(250, monthsAgo(12))}, OrderStatus::completed));

    EXPECT_DOUBLE_EQ(manager.totalReceivedByCashMode(), 1750);
    EXPECT_DOUBLE_EQ(manager.totalReceivedAll(), 1750);
    EXPECT_DOUBLE_EQ(manager.revenueByPaymentDateIn(now.date()), 600);
    EXPECT_DOUBLE_EQ(manager.revenueByPaymentDateIn(monthsAgo(1).date()), 500);
    EXPECT_DOUBLE_EQ(manager.revenueByPaymentDateFor(now.date()), 600);
    EXPECT_DOUBLE_EQ(manager.totalPending(), 2500 + 800) << "overpayment adds 0, cancelled counts";

    EXPECT_DOUBLE_EQ(manager.totalRevenueByCompletedMode(), 1200);
    EXPECT_DOUBLE_EQ(manager.todayRevenueByCompletedMode(), 1000) << "completed on its latest payment, not its last";
    EXPECT_DOUBLE_EQ(manager.monthRevenueByCompletedMode(), 1000) << "last year's same month does not count";

    const int year = now.date().year();
    double cashYear = 600, doneYear = 1000;
    if (monthsAgo(1).date().year() == year)
        cashYear += 500;
    if (monthsAgo(2).date().year() == year)
        cashYear += 400;
    EXPECT_DOUBLE_EQ(manager.yearRevenueByCashMode(), cashYear);
    EXPECT_DOUBLE_EQ(manager.yearRevenueByCompletedMode(), doneYear);

    EXPECT_EQ(manager.monthOrderCount(), 2);
    EXPECT_EQ(manager.ordersIn(now.date()).size(), 2);
    EXPECT_DOUBLE_EQ(manager.totalRevenue(monthsAgo(0).date()), 3000);
}

TEST_F(RevenueTest, CompletedDateNeedsStatusTotalAndFullPayment)
{
    const QDateTime jan = local(2026, 1, 5), mar = local(2026, 3, 5);
    const Order done = order("甲", jan, 1000, {pay(300, mar), pay(700, jan)}, OrderStatus::completed);
    EXPECT_EQ(done.completedDate(), mar);
    for (const auto& [total, status] : {std::pair{0.0, OrderStatus::completed}, {1000.02, OrderStatus::completed},
                                        {1000.0, OrderStatus::pendingBalance}}) {
        Order o = done;
        o.totalAmount = total;
        o.status = status;
        EXPECT_FALSE(o.completedDate()) << total;
    }
    Order over = order("乙", jan, 1000, {pay(600, jan), pay(500, jan)});
    EXPECT_DOUBLE_EQ(over.receivedAmount(), 1100);
    EXPECT_DOUBLE_EQ(over.pendingAmount(), 0);
}

TEST_F(RevenueTest, TwelveMonthTrendRunsOldestFirst)
{
    OrderManager manager(*store);
    EXPECT_TRUE(manager.monthlyRevenueTrend(0).isEmpty());
    const QList<RevenueTrendRow> one = manager.monthlyRevenueTrend(1);
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one.first().month, QString::number(QDate::currentDate().month()) + "月");

    // Shot in month -2, paid in month -3, completed by that payment.
    manager.addOrder(order("甲", monthsAgo(2), 900, {pay(900, monthsAgo(3))}, OrderStatus::completed));
    manager.addOrder(order("乙", monthsAgo(12), 5000)); // outside the window
    const QList<RevenueTrendRow> rows = manager.monthlyRevenueTrend(12);
    ASSERT_EQ(rows.size(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(rows[i].month, QString::number(QDate::currentDate().addMonths(i - 11).month()) + "月");
    EXPECT_EQ(rows[9], (RevenueTrendRow{rows[9].month, 900, 0, 0}));
    EXPECT_EQ(rows[8], (RevenueTrendRow{rows[8].month, 0, 900, 900}));
    double total = 0;
    for (const auto& r : rows)
        total += r.revenue + r.received + r.completed;
    EXPECT_DOUBLE_EQ(total, 2700);
}

TEST_F(RevenueTest, CsvBytesForAFixedSetOfOrders)
{
    OrderManager manager(*store);
    Order late = order("王女士", local(2026, 5, 1, 23, 59), 4999.5, {pay(1000, local(2026, 4, 1))});
    late.status = OrderStatus::pendingShoot;
    late.timeSlot = ShootTimeSlot::fullDay;
    late.note = "外景,需要\"反光板\"";
    late.packageType = "婚礼跟拍";
    Order early = order("李先生", local(2026, 5, 1, 0, 0), 800, {}, OrderStatus::cancelled);
    early.timeSlot = ShootTimeSlot::afternoon;
    early.note = "第一行\n第二行";
    Order sameMoment = order("赵", local(2026, 5, 1, 0, 0), 100, {pay(150, local(2026, 4, 2))}, OrderStatus::completed);
    const Order before = order("前一天", local(2026, 4, 30, 23, 59), 1);
    const Order nextMidnight = order("次日零点", local(2026, 5, 2, 0, 0), 1);
    for (const Order& o : {late, early, before, nextMidnight, sameMoment})
        manager.addOrder(o);

    const QString csv = manager.exportCSV(QDate(2026, 5, 1), QDate(2026, 5, 1));
    const QByteArray expected =
        "客户姓名,联系电话,套系类型,拍摄日期,拍摄时段,订单总额,已收金额,待收金额,订单状态,备注\n"
        "李先生,13800000000,标准套系,2026-05-01,下午,800.00,0.00,800.00,已取消,\"第一行\n第二行\"\n"
        "赵,13800000000,标准套系,2026-05-01,上午,100.00,150.00,0.00,已结清,\n"
        "王女士,13800000000,婚礼跟拍,2026-05-01,全天,4999.50,1000.00,3999.50,待拍摄,\"外景,需要\"\"反光板\"\"\"\n";
    EXPECT_EQ(csv.toUtf8(), expected);
    EXPECT_FALSE(csv.contains('\r'));
    EXPECT_FALSE(csv.startsWith(QChar(0xFEFF)));

    EXPECT_EQ(manager.exportCSV(QDate(2026, 6, 1), QDate(2026, 6, 30)),
              "客户姓名,联系电话,套系类型,拍摄日期,拍摄时段,订单总额,已收金额,待收金额,订单状态,备注\n");
    EXPECT_TRUE(manager.exportCSV(QDate(2026, 5, 2), QDate(2026, 5, 2)).contains("次日零点"));
}

}
