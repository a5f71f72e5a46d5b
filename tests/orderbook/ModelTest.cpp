#include "orderbook/OrderStatus.h"
#include "orderbook/RestDay.h"
#include "orderbook/ShootTimeSlot.h"

#include <gtest/gtest.h>

TEST(OrderModel, RawTextsRoundTripExactlyAndEnumerateInOrder)
{
    EXPECT_EQ(orderStatusFromRawValue("待拍摄"), OrderStatus::pendingShoot);
    EXPECT_EQ(orderStatusFromRawValue("待拍摄 "), std::nullopt);
    EXPECT_EQ(orderStatusFromRawValue(""), std::nullopt);
    QStringList statuses;
    for (OrderStatus s : allOrderStatuses()) {
        statuses.append(rawValue(s));
        EXPECT_EQ(orderStatusFromRawValue(rawValue(s)), s);
    }
    EXPECT_EQ(statuses, (QStringList{"待付定金", "待拍摄", "已拍摄待收尾款", "已结清", "已取消"}));
    QStringList slotTexts;
    for (ShootTimeSlot s : allShootTimeSlots())
        slotTexts.append(rawValue(s));
    EXPECT_EQ(slotTexts, (QStringList{"上午", "下午", "全天"}));
    EXPECT_EQ(shootTimeSlotFromRawValue("晚上"), std::nullopt);
}

TEST(OrderModel, RestDayHoldsTheStartOfItsLocalDay)
{
    const RestDay day(QDateTime(QDate(2026, 3, 10), QTime(15, 30)));
    EXPECT_EQ(day.date, QDateTime(QDate(2026, 3, 10), QTime(0, 0)));
    EXPECT_EQ(day.day(), QDate(2026, 3, 10));
    EXPECT_FALSE(day.id.isNull());
    EXPECT_NE(RestDay(QDate(2026, 3, 10)).id, day.id);
}
