#include "orderbook/Money.h"
#include "orderbook/Order.h"
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

TEST(Money, TypedAmountsAreStoredOnlyWhenTheyReadAndFit)
{
    struct Row { const char* text; double value; bool ok; };
    const Row rows[] = {{"", 0, true}, {"3999", 3999, true}, {"99999999.99", 99999999.99, true},
                        {"-99999999.99", 0, false}, {"-0.01", 0, false}, {"-0", 0, false}, {"+5", 5, true},
                        {"100000000", 0, false}, {"1e20", 0, false},
                        {"3,999", 0, false}, {"５００", 0, false}, {"abc", 0, false}, {"1,000", 0, false}};
    for (const Row& r : rows) {
        const Money::TypedAmount a = Money::readTyped(QString::fromUtf8(r.text));
        EXPECT_EQ(a.ok(), r.ok) << r.text;
        EXPECT_EQ(a.value, r.value) << r.text;
    }
    EXPECT_TRUE(Money::readTyped("3,999").problem.contains("3,999"));
    EXPECT_TRUE(Money::readTyped("100000000").problem.contains("99,999,999.99"));
}

TEST(Money, EditTextIsPlainDigitsThatReadBack)
{
    struct Row { double amount; const char* text; };
    const Row rows[] = {{100000, "100000.0"}, {200000, "200000.0"}, {1000000, "1000000.0"}, {0.0001, "0.0001"},
                        {5000, "5000.0"}, {0, "0.0"}, {-0.0, "0.0"}, {1500.5, "1500.5"}, {0.1, "0.1"},
                        {1e20, "100000000000000000000.0"}, {-50, "-50.0"}};
    for (const Row& r : rows) {
        EXPECT_EQ(Money::editText(r.amount), r.text) << r.amount;
        EXPECT_EQ(Money::parseAmount(Money::editText(r.amount)), r.amount == 0 ? 0.0 : r.amount);
    }
}

TEST(Money, AmountsBeyondTheCentRangeNeverTie)
{
    EXPECT_FALSE(Money::covers(1e20, 1e21));
    EXPECT_TRUE(Money::covers(1e21, 1e20));
    EXPECT_EQ(Money::compareCents(-1e20, -1e21), 1);
    Order o;
    o.totalAmount = 99999999999999999999.0;
    o.payments = {PaymentRecord(1e19, QDateTime::currentDateTime(), "")};
    EXPECT_EQ(Money::yuanText(o.pendingAmount()), "¥90000000000000000000");
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
