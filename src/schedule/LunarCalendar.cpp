#include "LunarCalendar.h"

#include <unicode/ucal.h>

#include <array>
#include <memory>

namespace {

// One word per lunar year 1901-2100, from the published almanac tables:
// bits 0-3 the leap month (0: none), bits 4-15 the lengths of months 1-12
// (month m at bit 16 - m; set: 30 days, clear: 29), bit 16 the length of the
// leap month, bits 17-21 the year's first day counted from January 21.
constexpr std::array<quint32, 200> yearTable = {
    0x03a4ae0, 0x024a570, 0x01054d5, 0x034d260, 0x01cd950, 0x0096554, 0x02e56a0, 0x0189ad0, // 1901-1908
    0x00255d2, 0x0284ae0, 0x012a5b6, 0x038a4d0, 0x020d250, 0x00bd255, 0x030b540, 0x01ad6a0, // 1909-1916
    0x004ada2, 0x02a95b0, 0x0174977, 0x03c4970, 0x024a4b0, 0x00eb4b5, 0x0346a50, 0x01e6d40, // 1917-1924
    0x007ab54, 0x02e2b60, 0x0189570, 0x00452f2, 0x0284970, 0x0126566, 0x036d4a0, 0x020ea50, // 1925-1932
    0x00b6a95, 0x0305ad0, 0x01c2b60, 0x00786e3, 0x02a92e0, 0x015c8d7, 0x03ac950, 0x024d4a0, // 1933-1940
    0x00dd8a6, 0x032b550, 0x01e56a0, 0x009a5b4, 0x02e25d0, 0x01892d0, 0x002d2b2, 0x028a950, // 1941-1948
    0x010b557, 0x0366ca0, 0x020b550, 0x00d5355, 0x0304da0, 0x01aa5b0, 0x0074573, 0x02c52b0, // 1949-1956
    0x014a9a8, 0x038e950, 0x0246aa0, 0x00eaea6, 0x032ab50, 0x01e4b60, 0x008aae4, 0x02ea570, // 1957-1964
    0x0185260, 0x000f263, 0x026d950, 0x0125b57, 0x03656a0, 0x02096d0, 0x00c4dd5, 0x0324ad0, // 1965-1972
    0x01aa4d0, 0x004d4d4, 0x02ad250, 0x014d558, 0x038b540, 0x022b6a0, 0x00f95a6, 0x03495b0, // 1973-1980
    0x01e49b0, 0x008a974, 0x02ea4b0, 0x018b27a, 0x03c6a50, 0x0266d40, 0x010af46, 0x036ab60, // 1981-1988
    0x0209570, 0x00c4af5, 0x0324970, 0x01c64b0, 0x00474a3, 0x028ea50, 0x0146b58, 0x03a5ac0, // 1989-1996
    0x022ab60, 0x00e96d5, 0x03492e0, 0x01ec960, 0x006d954, 0x02cd4a0, 0x016da50, 0x0027552, // 1997-2004
    0x02656a0, 0x010abb7, 0x03825d0, 0x02292d0, 0x00acab5, 0x030a950, 0x01ab4a0, 0x004baa4, // 2005-2012
    0x028ad50, 0x01455d9, 0x03a4ba0, 0x024a5b0, 0x00f5176, 0x03452b0, 0x01ea930, 0x0087954, // 2013-2020
    0x02c6aa0, 0x016ad50, 0x0025b52, 0x0284b60, 0x010a6e6, 0x036a4e0, 0x020d260, 0x00aea65, // 2021-2028
    0x02ed530, 0x01a5aa0, 0x00476a3, 0x02a96d0, 0x0144afb, 0x03a4ad0, 0x024a4d0, 0x00fd0b6, // 2029-2036
    0x032d250, 0x01cd520, 0x006dd45, 0x02cb5a0, 0x01656d0, 0x00255b2, 0x02849b0, 0x012a577, // 2037-2044
    0x036a4b0, 0x020aa50, 0x00bb255, 0x0306d20, 0x018ada0, 0x0054b63, 0x02a9370, 0x01649f8, // 2045-2052
    0x03a4970, 0x02464b0, 0x00f68a6, 0x032ea50, 0x01c6b20, 0x007a6c4, 0x02caae0, 0x01892e0, // 2053-2060
    0x000d2e3, 0x026c960, 0x010d557, 0x036d4a0, 0x01eda50, 0x00a5d55, 0x03056a0, 0x01aa6d0, // 2061-2068
    0x00455d4, 0x02a52d0, 0x014a9b8, 0x03aa950, 0x022b4a0, 0x00cb6a6, 0x032ad50, 0x01e55a0, // 2069-2076
    0x006aba4, 0x02ca5b0, 0x01852b0, 0x002b273, 0x0266930, 0x0107337, 0x0366aa0, 0x020ad50, // 2077-2084
    0x00b4b55, 0x0304b60, 0x01aa570, 0x00654e4, 0x028d160, 0x012e968, 0x038d520, 0x022daa0, // 2085-2092
    0x00d6aa6, 0x03256d0, 0x01e4ae0, 0x008a9d4, 0x02ca4d0, 0x016d150, 0x000f252, 0x026d520, // 2093-2100
};

constexpr int tableSize = int(yearTable.size());

int leapMonthOf(quint32 word)
{
    return int(word & 0xf);
}

int lengthOfMonth(quint32 word, int month)
{
    return (word & (0x10000u >> month)) ? 30 : 29;
}

int lengthOfLeapMonth(quint32 word)
{
    return (word & 0x10000u) ? 30 : 29;
}

qint64 firstDayOf(int index)
{
    return QDate(LunarCalendar::firstTableYear + index, 1, 21).toJulianDay() + qint64(yearTable[index] >> 17);
}

int yearLength(quint32 word)
{
    int days = leapMonthOf(word) ? lengthOfLeapMonth(word) : 0;
    for (int m = 1; m <= 12; ++m)
        days += lengthOfMonth(word, m);
    return days;
}

// Julian day of each year's first day, and of the day after the last year.
const std::array<qint64, tableSize + 1>& firstDays()
{
    static const auto days = [] {
        std::array<qint64, tableSize + 1> out{};
        for (int i = 0; i < tableSize; ++i)
            out[i] = firstDayOf(i);
        out[tableSize] = out[tableSize - 1] + yearLength(yearTable[tableSize - 1]);
        return out;
    }();
    return days;
}

const char* const monthNames[] = {"正月", "二月", "三月", "四月", "五月", "六月",
                                  "七月", "八月", "九月", "十月", "冬月", "腊月"};
const char* const dayNames[] = {"初一", "初二", "初三", "初四", "初五", "初六", "初七", "初八", "初九", "初十",
                                "十一", "十二", "十三", "十四", "十五", "十六", "十七", "十八", "十九", "二十",
                                "廿一", "廿二", "廿三", "廿四", "廿五", "廿六", "廿七", "廿八", "廿九", "三十"};

// The Chinese year number ICU counts from 2637 BC.
constexpr int icuYearOffset = 2637;

struct CalendarCloser
{
    void operator()(UCalendar* cal) const { ucal_close(cal); }
};

} // namespace

std::optional<LunarDate> LunarCalendar::lunarDate(const QDate& day)
{
    if (!day.isValid())
        return std::nullopt;
    const auto& starts = firstDays();
    const qint64 jd = day.toJulianDay();
    if (jd < starts.front() || jd >= starts.back())
        return icuLunarDate(day);

    int index = std::min(day.year() - firstTableYear, tableSize - 1);
    if (jd < starts[index])
        --index;
    const quint32 word = yearTable[index];
    const int leap = leapMonthOf(word);
    int offset = int(jd - starts[index]);
    for (int month = 1; month <= 12; ++month) {
        const int length = lengthOfMonth(word, month);
        if (offset < length)
            return LunarDate{firstTableYear + index, month, offset + 1, false};
        offset -= length;
        if (month == leap) {
            const int leapLength = lengthOfLeapMonth(word);
            if (offset < leapLength)
                return LunarDate{firstTableYear + index, month, offset + 1, true};
            offset -= leapLength;
        }
    }
    return std::nullopt; // unreachable: the year's days are exactly its months
}

QString LunarCalendar::lunarString(const QDate& day)
{
    const auto lunar = lunarDate(day);
    if (!lunar)
        return {};
    if (lunar->day == 1)
        return QString::fromUtf8(monthNames[((lunar->month - 1) % 12 + 12) % 12]);
    return QString::fromUtf8(dayNames[((lunar->day - 1) % 30 + 30) % 30]);
}

LunarCalendar::YearInfo LunarCalendar::tableYear(int lunarYear)
{
    YearInfo info;
    const int index = lunarYear - firstTableYear;
    if (index < 0 || index >= tableSize)
        return info;
    const quint32 word = yearTable[index];
    info.firstDay = QDate::fromJulianDay(firstDays()[index]);
    info.leapMonth = leapMonthOf(word);
    for (int m = 1; m <= 12; ++m) {
        info.monthLengths.append(lengthOfMonth(word, m));
        if (m == info.leapMonth)
            info.monthLengths.append(lengthOfLeapMonth(word));
    }
    return info;
}

QDate LunarCalendar::tableEnd()
{
    return QDate::fromJulianDay(firstDays().back());
}

std::optional<LunarDate> LunarCalendar::icuLunarDate(const QDate& day)
{
    if (!day.isValid())
        return std::nullopt;
    // Opening a calendar costs far more than a lookup; one per thread, kept.
    thread_local std::unique_ptr<UCalendar, CalendarCloser> calendar;
    UErrorCode status = U_ZERO_ERROR;
    if (!calendar) {
        calendar.reset(ucal_open(u"UTC", -1, "zh_CN@calendar=chinese", UCAL_DEFAULT, &status));
        if (U_FAILURE(status)) {
            calendar.reset();
            return std::nullopt;
        }
    }
    // Noon UTC of the civil day: the answer cannot slide into a neighbour.
    constexpr qint64 unixEpochJulianDay = 2440588;
    const double noon = double((day.toJulianDay() - unixEpochJulianDay) * 86400000LL + 12 * 3600000LL);
    ucal_setMillis(calendar.get(), noon, &status);
    LunarDate out;
    out.year = ucal_get(calendar.get(), UCAL_EXTENDED_YEAR, &status) - icuYearOffset;
    out.month = ucal_get(calendar.get(), UCAL_MONTH, &status) + 1;
    out.day = ucal_get(calendar.get(), UCAL_DATE, &status);
    out.isLeapMonth = ucal_get(calendar.get(), UCAL_IS_LEAP_MONTH, &status) != 0;
    if (U_FAILURE(status))
        return std::nullopt;
    return out;
}
