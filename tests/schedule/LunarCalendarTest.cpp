#include "orderbook/OrderbookFixture.h"

#include "schedule/LunarCalendar.h"

namespace {

struct LabelCase
{
    QDate date;
    const char* label;
    bool leap = false;
};

const LabelCase labelCases[] = {
    // New years, two of them where ICU is a day off.
    {{1901, 2, 19}, "正月"}, {{1949, 1, 29}, "正月"}, {{2000, 2, 5}, "正月"}, {{2026, 2, 17}, "正月"},
    {{2027, 2, 6}, "正月"}, {{2030, 2, 3}, "正月"}, {{2100, 2, 9}, "正月"},
    {{2026, 2, 18}, "初二"}, {{2027, 2, 5}, "廿九"}, {{2027, 2, 7}, "初二"}, {{2030, 2, 2}, "三十"},
    {{2026, 3, 3}, "十五"}, {{2026, 3, 8}, "二十"}, {{2025, 2, 27}, "三十"}, {{2026, 4, 16}, "廿九"},
    {{2026, 4, 17}, "三月"}, {{2025, 12, 20}, "冬月"}, {{2026, 1, 19}, "腊月"},
    // Leap months carry the flag but no mark.
    {{1984, 11, 23}, "十月", true}, {{2020, 5, 23}, "四月", true}, {{2023, 3, 22}, "二月", true},
    {{2025, 7, 25}, "六月", true}, {{2033, 12, 22}, "冬月", true}, {{2033, 12, 21}, "三十"}, {{2034, 1, 20}, "腊月"},
    // Either side of the table: ICU before and after, the table on its last day.
    {{1901, 2, 18}, "三十"}, {{2101, 1, 28}, "廿九"}, {{2101, 1, 29}, "正月"},
};

class LunarCalendarTest : public OrderbookFixture
{
};

TEST_F(LunarCalendarTest, LabelsFollowTheDayInAnyTimeZone)
{
    for (const char* zone : {"Asia/Shanghai", "America/New_York"}) {
        pinTimeZone(zone);
        for (const LabelCase& c : labelCases) {
            const auto lunar = LunarCalendar::lunarDate(c.date);
            ASSERT_TRUE(lunar) << c.date.toString(Qt::ISODate).toStdString();
            EXPECT_EQ(LunarCalendar::lunarString(c.date), QString::fromUtf8(c.label))
                << zone << " " << c.date.toString(Qt::ISODate).toStdString();
            EXPECT_EQ(lunar->isLeapMonth, c.leap) << c.date.toString(Qt::ISODate).toStdString();
        }
    }
    EXPECT_EQ(LunarCalendar::lunarDate({1901, 2, 18}), (LunarDate{1900, 12, 30, false})) << "ICU's year is ours";
    EXPECT_EQ(LunarCalendar::lunarDate({2101, 1, 28}), (LunarDate{2100, 12, 29, false}));
    EXPECT_EQ(LunarCalendar::lunarString(QDate()), QString());
}

TEST_F(LunarCalendarTest, TableHoldsTogetherOverEveryYear)
{
    int leapMonths = 0;
    for (int year = LunarCalendar::firstTableYear; year <= LunarCalendar::lastTableYear; ++year) {
        const auto info = LunarCalendar::tableYear(year);
        SCOPED_TRACE(year);
        EXPECT_EQ(info.monthLengths.size(), info.leapMonth ? 13 : 12);
        int length = 0;
        for (int days : info.monthLengths) {
            EXPECT_TRUE(days == 29 || days == 30);
            length += days;
        }
        EXPECT_TRUE(info.leapMonth ? (length >= 383 && length <= 385) : (length >= 353 && length <= 355)) << length;
        leapMonths += info.leapMonth ? 1 : 0;
        EXPECT_GE(info.firstDay, QDate(year, 1, 21));
        EXPECT_LE(info.firstDay, QDate(year, 2, 20));
        const QDate next = year < LunarCalendar::lastTableYear ? LunarCalendar::tableYear(year + 1).firstDay
                                                               : LunarCalendar::tableEnd();
        EXPECT_EQ(info.firstDay.addDays(length), next);
    }
    EXPECT_EQ(leapMonths, 73);
    EXPECT_EQ(LunarCalendar::tableEnd(), QDate(2101, 1, 29));
}

}
