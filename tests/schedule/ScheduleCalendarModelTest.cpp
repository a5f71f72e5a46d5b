#include "ScheduleModelFixture.h"

#include "schedule/DiagonalLines.h"
#include "schedule/ScheduleKeys.h"

#include <QCoreApplication>
#include <QSignalSpy>

namespace {

class ScheduleCalendarModelTest : public ScheduleModelFixture
{
protected:
    void setWeekStart(bool monday) { store->set(ScheduleKeys::weekStartsOnMonday, monday); }
    void setLimit(const QVariant& limit) { store->set(OrderbookKeys::maxOrdersPerDay, limit); }
    // Leading empty slots and days of the month shown.
    std::pair<int, int> slotCounts() const
    {
        const QList<QDate> days = model->daysInMonth();
        const int empty = int(std::count(days.begin(), days.end(), QDate()));
        return {empty, int(days.size()) - empty};
    }
    static ShootEvent event(const QString& id, const QDateTime& start) { return {id, "拍摄", start, start, std::nullopt, std::nullopt}; }
};

TEST_F(ScheduleCalendarModelTest, MonthGridFollowsTheWeekStart)
{
    EXPECT_TRUE(model->weekStartsOnMonday()) << "absent means Monday";
    EXPECT_EQ(model->weekdayLabels().join(""), "一二三四五六日");
    const struct { QDate month; bool monday; std::pair<int, int> counts; } cases[] = {
        {{2026, 3, 1}, true, {6, 31}}, {{2026, 3, 31}, false, {0, 31}},
        {{2026, 6, 15}, true, {0, 30}}, {{2026, 6, 15}, false, {1, 30}}, {{2026, 2, 1}, true, {6, 28}},
    };
    for (const auto& c : cases) {
        setWeekStart(c.monday);
        model->setCurrentMonth(c.month);
        EXPECT_EQ(slotCounts(), c.counts) << c.month.toString(Qt::ISODate).toStdString() << c.monday;
        EXPECT_EQ(model->daysInMonth().last(), QDate(c.month.year(), c.month.month(), c.month.daysInMonth()));
    }
    setWeekStart(false);
    EXPECT_EQ(model->weekdayLabels().join(""), "日一二三四五六");
}

TEST_F(ScheduleCalendarModelTest, StepsKeepTheOtherFieldAndClampTheDay)
{
    EXPECT_TRUE(model->isTodayMonth());
    using Step = void (ScheduleCalendarModel::*)();
    const struct { QDate from; Step step; const char* title; QDate to; } cases[] = {
        {{2026, 1, 31}, &ScheduleCalendarModel::nextMonth, "2026年 2月", {2026, 2, 28}},
        {{2026, 2, 28}, &ScheduleCalendarModel::nextMonth, "2026年 3月", {2026, 3, 28}},
        {{2028, 2, 29}, &ScheduleCalendarModel::previousYear, "2027年 2月", {2027, 2, 28}},
        {{2026, 1, 15}, &ScheduleCalendarModel::previousMonth, "2025年 12月", {2025, 12, 15}},
        {{2026, 12, 5}, &ScheduleCalendarModel::nextYear, "2027年 12月", {2027, 12, 5}},
    };
    for (const auto& c : cases) {
        model->setCurrentMonth(c.from);
        (model.get()->*c.step)();
        EXPECT_EQ(model->monthTitle(), QString::fromUtf8(c.title));
        EXPECT_EQ(model->currentMonth(), c.to);
    }
    EXPECT_FALSE(model->isTodayMonth());
    model->setCurrentMonth({2026, 1, 31});
    model->setMonth(2);
    EXPECT_EQ(model->currentMonth(), QDate(2026, 2, 28));
    model->setYear(2028);
    model->setMonth(13);
    EXPECT_EQ(model->currentMonth(), QDate(2028, 2, 28)) << "an impossible month changes nothing";
    model->showToday();
    EXPECT_TRUE(model->isTodayMonth());
}

TEST_F(ScheduleCalendarModelTest, DayFiguresComeFromOrdersAndUnlinkedEvents)
{
    const QDate day(2026, 3, 8);
    Order linked = order("王", local(2026, 3, 8, 10), 2700.9, {}, OrderStatus::pendingShoot);
    linked.calendarEventIdentifier = "EV-LINKED";
    orders->addOrder(linked);
    model->setShootEvents({event("EV-LINKED", local(2026, 3, 8, 10)), event("EV-FREE", local(2026, 3, 8, 23, 30)),
                           event("EV-ONLY", local(2026, 3, 9, 0, 10))});
    DayFigures f = model->dayFigures(day);
    EXPECT_EQ(f.itemCount, 2);
    EXPECT_EQ(f.mark, CalendarMark::pendingShoot);
    EXPECT_DOUBLE_EQ(f.revenue, 2700.9);
    EXPECT_EQ(f.lunarLabel, "二十");

    f = model->dayFigures(day.addDays(1));
    EXPECT_EQ(f.itemCount, 1);
    EXPECT_EQ(f.mark, CalendarMark::unimportedEvent);
    EXPECT_EQ(f.revenue, 0);

    Order tbd = order("李", local(2026, 3, 8, 9), 0, {}, OrderStatus::completed);
    tbd.isShootDateTBD = true;
    orders->setOrders({tbd, linked});
    EXPECT_EQ(model->dayFigures(day).mark, CalendarMark::shootDateTBD) << "the first order decides, whatever its status";
    EXPECT_EQ(model->dayFigures(day).itemCount, 3);
}

TEST_F(ScheduleCalendarModelTest, FullDaysAreDimmedUnlessResting)
{
    const QDate day(2026, 5, 20);
    QList<Order> ten;
    for (int i = 0; i < 10; ++i)
        ten.append(order("客", local(2026, 5, 20), 100, {}, i ? OrderStatus::pendingDeposit : OrderStatus::cancelled));
    orders->setOrders(ten.mid(0, 9));
    for (const QVariant& limit : {QVariant(), QVariant(0), QVariant(-1)}) {
        setLimit(limit);
        EXPECT_FALSE(model->dayFigures(day).isFull) << "nine orders under the limit of 10";
    }
    orders->setOrders(ten);
    EXPECT_TRUE(model->dayFigures(day).isFull);

    setLimit(3);
    orders->setOrders(ten.mid(0, 3)); // the cancelled one counts too
    DayFigures f = model->dayFigures(day);
    EXPECT_TRUE(f.isFull && f.isDimmed);
    orders->toggleRestDay(day);
    f = model->dayFigures(day);
    EXPECT_TRUE(f.isFull && f.isRestDay && !f.isDimmed);
}

TEST_F(ScheduleCalendarModelTest, ChangedFiresOncePerTurn)
{
    QSignalSpy changed(model.get(), &ScheduleCalendarModel::changed);
    const std::function<void()> edits[] = {
        [&] { orders->addOrder(order("甲", local(2026, 3, 1), 1)); orders->addOrder(order("乙", local(2026, 3, 2), 1)); },
        [&] { model->setShootEvents({event("A", local(2026, 3, 1))}); model->setShootEvents({}); },
        [&] { setWeekStart(false); setLimit(4); },
        [&] { model->nextMonth(); model->nextMonth(); },
        [&] { orders->toggleRestDay(QDate(2026, 3, 3)); store->set("unrelated", 1); },
    };
    // Today and past move on at the next local midnight, not only at the next edit.
    const auto* midnight = model->findChild<QTimer*>("midnightTimer");
    ASSERT_TRUE(midnight && midnight->isActive());
    const qint64 toMidnight = QDateTime::currentDateTime().msecsTo(QDate::currentDate().addDays(1).startOfDay());
    EXPECT_NEAR(double(midnight->remainingTime()), double(toMidnight), 2000.0);
    for (const auto& edit : edits) {
        changed.clear();
        edit();
        EXPECT_EQ(changed.count(), 0) << "not before the turn ends";
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(changed.count(), 1);
    }
}

TEST(DiagonalLinesTest, HatchStartsOneHeightLeftInStepsOfEight)
{
    const QList<QLineF> hatch = DiagonalLines::segments({40, 10});
    ASSERT_EQ(hatch.size(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(hatch[i], QLineF(-10 + 8 * i, 0, -10 + 8 * i + 10, 10));
    EXPECT_TRUE(DiagonalLines::segments({0, 0}).isEmpty());
    EXPECT_EQ(DiagonalLines::segments({16, 0}), (QList<QLineF>{{0, 0, 0, 0}, {8, 0, 8, 0}}));
    EXPECT_TRUE(DiagonalLines::segments({qInf(), 10}).isEmpty());
}

}
