#include "OrderbookFixture.h"

#include "orderbook/OrderManager.h"
#include "platform/TimeZoneWatcher.h"

#include <QSignalSpy>

namespace {

using DaylightSavingTest = OrderbookFixture;

// Day rules must follow the offset in force at each instant, not one offset
// per day or per list: New York's 1 November 2026 lasts 25 hours.
TEST_F(DaylightSavingTest, StoredInstantsFallOnTheirLocalDayAcrossTheChange)
{
    pinTimeZone("America/New_York");
    ASSERT_EQ(QDateTime(QDate(2026, 10, 31), QTime(12, 0)).offsetFromUtc(), -4 * 3600);
    ASSERT_EQ(QDateTime(QDate(2026, 11, 1), QTime(12, 0)).offsetFromUtc(), -5 * 3600);
    auto utc = [](int d, int h, int m = 0, int s = 0) {
        return QDateTime(QDate(2026, d > 31 ? 11 : 10, d > 31 ? d - 31 : d), QTime(h, m, s), Qt::UTC);
    };
    // 1 Nov 00:30 EDT is 04:30Z; 23:30 EST the same day is 04:30Z on 2 Nov;
    // 2 Nov 00:00 EST is 05:00Z.
    Order early = order("早", utc(32, 4, 30), 100, {PaymentRecord(100, utc(32, 3, 59, 59), "")}, OrderStatus::completed);
    Order late = order("晚", utc(33, 4, 30), 200, {PaymentRecord(50, utc(32, 4, 0), "")});
    Order next = order("次日", utc(33, 5, 0), 400);
    store->set(OrderbookKeys::orders, *OrderCodec::encodeOrders({next, late, early}));
    OrderManager manager(*store);
    ASSERT_EQ(manager.orders().size(), 3);

    const QDate nov1(2026, 11, 1);
    const QList<Order> day = manager.ordersFor(nov1);
    ASSERT_EQ(day.size(), 2);
    EXPECT_EQ(day[0].customerName, "晚");
    EXPECT_EQ(day[1].customerName, "早");
    EXPECT_EQ(manager.ordersFor(nov1.addDays(1)).size(), 1);
    EXPECT_DOUBLE_EQ(manager.totalRevenue(nov1), 300);

    // 03:59:59Z on 1 Nov is still 31 October in New York.
    EXPECT_DOUBLE_EQ(manager.revenueByPaymentDateIn(QDate(2026, 10, 1)), 100);
    EXPECT_DOUBLE_EQ(manager.revenueByPaymentDateIn(nov1), 50);
    EXPECT_DOUBLE_EQ(manager.revenueByPaymentDateFor(nov1), 50);

    const QString csv = manager.exportCSV(nov1, nov1);
    EXPECT_EQ(csv.count('\n'), 3) << qPrintable(csv);
    EXPECT_TRUE(csv.contains("晚,13800000000,标准套系,2026-11-01,"));
    EXPECT_FALSE(csv.contains("次日"));

    manager.toggleRestDay(utc(33, 4, 0)); // 23:00 EST on 1 November
    EXPECT_EQ(manager.restDays().first().date, QDateTime(nov1, QTime(0, 0)));
    EXPECT_EQ(manager.restDays().first().date.offsetFromUtc(), -4 * 3600);
    OrderManager reloaded(*store);
    EXPECT_TRUE(reloaded.isRestDay(nov1));
    EXPECT_FALSE(reloaded.isRestDay(nov1.addDays(-1)));
    EXPECT_FALSE(reloaded.isRestDay(nov1.addDays(1)));
}

}

namespace {

TEST_F(DaylightSavingTest, DayRulesFollowAChangeOfTimeZoneWhileRunning)
{
    store->set(OrderbookKeys::maxOrdersPerDay, 1);
    OrderManager manager(*store);
    const QDateTime lateNight = local(2027, 3, 10, 0, 30);
    ASSERT_TRUE(manager.addOrder(order("夜拍", lateNight, 100)));
    manager.toggleRestDay(lateNight);
    const QDate day(2027, 3, 10);
    ASSERT_TRUE(manager.isDayFull(day));
    ASSERT_TRUE(manager.isRestDay(day));
    QSignalSpy spy(&manager, &OrderManager::ordersChanged);
    const qint64 instant = lateNight.toMSecsSinceEpoch();

    qputenv("TZ", "UTC");
    EXPECT_TRUE(TimeZoneWatcher::shared().check());
    // Qt itself follows the new zone; the order book must too.
    ASSERT_EQ(QDateTime::fromMSecsSinceEpoch(instant, Qt::LocalTime).date(), day.addDays(-1));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(manager.ordersFor(day.addDays(-1)).size(), 1);
    EXPECT_TRUE(manager.ordersFor(day).isEmpty());
    EXPECT_TRUE(manager.isDayFull(day.addDays(-1)));
    EXPECT_FALSE(manager.isDayFull(day));
    EXPECT_TRUE(manager.isRestDay(day.addDays(-1)));
    EXPECT_FALSE(manager.isRestDay(day));
    EXPECT_EQ(manager.orders().first().shootTime.time(), QTime(16, 30));
}

// Days on which the clocks move, by an hour or half an hour, split at the
// exact instant of the change.
TEST_F(DaylightSavingTest, EveryInstantLandsOnTheDayTheSystemGives)
{
    for (const char* zone : {"America/New_York", "Australia/Lord_Howe"}) {
        pinTimeZone(zone);
        const qint64 from = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
        int mismatches = 0;
        for (qint64 ms = from; ms < from + 365 * 86400000LL; ms += 7 * 60 * 1000 + 1013) {
            const QDateTime system = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
            const QDateTime cached = LocalCalendar::fromMSecsSinceEpoch(ms);
            mismatches += cached.date() != system.date() || cached.time() != system.time()
                || LocalCalendar::dayOf(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC)) != system.date();
        }
        EXPECT_EQ(mismatches, 0) << zone;
    }
}

}
