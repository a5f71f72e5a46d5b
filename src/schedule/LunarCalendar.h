#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// A day of the Chinese lunisolar calendar. `year` is the Gregorian year in
// which the lunar year begins; a leap month repeats the number of the month
// before it.
struct LunarDate
{
    int year = 0;
    int month = 0; // 1-12
    int day = 0;   // 1-30
    bool isLeapMonth = false;

    bool operator==(const LunarDate&) const = default;
};

// Lunar dates from our own almanac table for the lunar years 1901-2100
// (1901-02-19 to 2101-01-28); ICU's Chinese calendar answers only outside it,
// since ICU misplaces some new moons inside it (2027 and 2030 among them).
// A function of the civil day alone: the machine's time zone plays no part.
class LunarCalendar
{
public:
    static constexpr int firstTableYear = 1901;
    static constexpr int lastTableYear = 2100;

    // The lunar date of `day`; none for an invalid date or where ICU fails.
    static std::optional<LunarDate> lunarDate(const QDate& day);
    // The month name on the first day of a lunar month ("正月" ... "腊月",
    // leap months unmarked), else the day name ("初二" ... "三十"); empty
    // when the date has no lunar date.
    static QString lunarString(const QDate& day);

    // One year of the table, for its self-check and the benchmark.
    struct YearInfo
    {
        QDate firstDay;
        int leapMonth = 0;          // 0: none; else the month it follows
        QList<int> monthLengths;    // in calendar order, the leap month in place
    };
    static YearInfo tableYear(int lunarYear); // firstTableYear..lastTableYear
    // The first day after the table's last lunar year.
    static QDate tableEnd();

    // Through ICU whatever the date, for the benchmark's comparison.
    static std::optional<LunarDate> icuLunarDate(const QDate& day);
};
