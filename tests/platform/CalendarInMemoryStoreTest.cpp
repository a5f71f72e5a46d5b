#include "platform/InMemoryCalendarStore.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {
QDateTime at(int d, int h)
{
    return QDateTime(QDate(2027, 3, d), QTime(h, 0));
}
}

TEST(CalendarInMemoryStoreTest, BehavesLikeTheFileStoreForSavesRangesAndBatches)
{
    InMemoryCalendarStore store;
    ASSERT_EQ(store.sources().size(), 1);
    EXPECT_EQ(store.sources().first().type, CalendarSourceType::Local);
    EXPECT_FALSE(store.defaultCalendarForNewEvents());

    CalendarInfo cal;
    cal.title = "拍摄档期";
    ASSERT_TRUE(store.saveCalendar(cal));
    EXPECT_EQ(store.defaultCalendarForNewEvents()->identifier, cal.identifier);
    const int commits = store.commitCount();

    for (int d = 1; d <= 3; ++d) {
        CalendarEvent e;
        e.calendarIdentifier = cal.identifier;
        e.title = QString::number(d);
        e.startDate = at(d, 10);
        e.endDate = at(d, 12);
        ASSERT_TRUE(store.saveEvent(e, false));
    }
    EXPECT_EQ(store.commitCount(), commits);
    EXPECT_EQ(store.events(at(1, 12), at(3, 10), {cal.identifier}).size(), 1);
    ASSERT_TRUE(store.commit());
    EXPECT_EQ(store.commitCount(), commits + 1);

    CalendarEvent extra;
    extra.calendarIdentifier = cal.identifier;
    extra.startDate = extra.endDate = at(9, 9);
    ASSERT_TRUE(store.saveEvent(extra, false));
    store.reset();
    EXPECT_FALSE(store.event(extra.identifier));
}

TEST(CalendarInMemoryStoreTest, InjectedFailuresAndOutsideEdits)
{
    InMemoryCalendarStore store;
    CalendarInfo cal;
    cal.title = "拍摄档期";
    ASSERT_TRUE(store.saveCalendar(cal));

    store.setFailure(QString("磁盘已满"));
    CalendarEvent e;
    e.calendarIdentifier = cal.identifier;
    e.startDate = e.endDate = at(5, 10);
    QString error;
    EXPECT_FALSE(store.saveEvent(e, true, &error));
    EXPECT_EQ(error, "磁盘已满");
    store.setFailure(std::nullopt);

    QSignalSpy spy(&store, &CalendarStore::changed);
    ASSERT_TRUE(store.saveEvent(e));
    EXPECT_EQ(spy.count(), 0); // own saves do not echo
    store.editFromOutside([&](InMemoryCalendarStore& s) { s.removeEvent(e.identifier); });
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(store.event(e.identifier));
}

TEST(CalendarInMemoryStoreTest, TheSharedStoreCanBeReplacedBeforeUse)
{
    auto* installed = CalendarStore::installShared(std::make_unique<InMemoryCalendarStore>());
    EXPECT_EQ(&CalendarStore::shared(), installed);
    EXPECT_NE(dynamic_cast<InMemoryCalendarStore*>(&CalendarStore::shared()), nullptr);
}

TEST(CalendarInMemoryStoreTest, KeepsTimesAsTheFileStoreDoes)
{
    InMemoryCalendarStore store;
    CalendarInfo cal;
    cal.title = "拍摄档期";
    ASSERT_TRUE(store.saveCalendar(cal));
    CalendarEvent e;
    e.calendarIdentifier = cal.identifier;
    e.startDate = at(2, 9).addMSecs(400).toUTC();
    e.endDate = at(2, 18);
    e.allDay = true;
    ASSERT_TRUE(store.saveEvent(e));
    EXPECT_EQ(store.event(e.identifier)->startDate, QDateTime(QDate(2027, 3, 2), QTime(0, 0)));
    EXPECT_EQ(store.event(e.identifier)->endDate, QDateTime(QDate(2027, 3, 3), QTime(0, 0)));
    EXPECT_EQ(*store.event(e.identifier), e);
}
