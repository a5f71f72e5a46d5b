#include "orderbook/Money.h"
#include "orderbook/OrderStatus.h"
#include "orderbook/ShootTimeSlot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Money, ParsesOnlyWholePlainDecimalText)
{
    EXPECT_EQ(Money::parseAmount("5000"), 5000.0);
    EXPECT_EQ(Money::parseAmount("1500.50"), 1500.5);
    EXPECT_EQ(Money::parseAmount("-12.5"), -12.5);
    EXPECT_EQ(Money::parseAmount("+3"), 3.0);
    EXPECT_EQ(Money::parseAmount(".5"), 0.5);
    EXPECT_EQ(Money::parseAmount("5."), 5.0);
    EXPECT_EQ(Money::parseAmount("1e3"), 1000.0);
    EXPECT_FALSE(std::signbit(*Money::parseAmount("-0.00")));

    for (const char* bad : {"", " 5000", "5000 ", "1,000", "¥100", "100元", "inf", "-inf", "nan", "NaN",
                            "infinity", "0x10", "0x1p3", "1e", "e5", ".", "+", "--1", "5000abc", "1e400",
                            "-1e400", "１２３"}) {
        EXPECT_EQ(Money::parseAmount(QString::fromUtf8(bad)), std::nullopt) << bad;
    }
}

TEST(Money, WholeYuanTruncatesTowardZeroAndNeverOverflows)
{
    EXPECT_EQ(Money::yuanText(3999.9), "¥3999");
    EXPECT_EQ(Money::yuanText(1999.99), "¥1999");
    EXPECT_EQ(Money::yuanText(0), "¥0");
    EXPECT_EQ(Money::yuanText(-12.5), "¥-12");
    EXPECT_EQ(Money::yuanText(-0.5), "¥0");
    EXPECT_EQ(Money::wholeYuan(1e20), "100000000000000000000");
    EXPECT_EQ(Money::wholeYuan(-1e20), "-100000000000000000000");
    EXPECT_EQ(Money::wholeYuan(std::numeric_limits<double>::infinity()), "0");
    EXPECT_EQ(Money::wholeYuan(std::nan("")), "0");
}

TEST(Money, ComparesInWholeCents)
{
    const double paid = 300.05 + 700.05; // 1000.0999999999999 in binary
    EXPECT_LT(paid, 1000.1);
    EXPECT_TRUE(Money::covers(paid, 1000.1));
    EXPECT_EQ(Money::compareCents(paid, 1000.1), 0);
    EXPECT_FALSE(Money::covers(999.99, 1000));
    EXPECT_EQ(Money::cents(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(Money::cents(1e300), std::numeric_limits<qint64>::max());
    EXPECT_EQ(Money::twoDecimals(1234.5), "1234.50");
}

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
