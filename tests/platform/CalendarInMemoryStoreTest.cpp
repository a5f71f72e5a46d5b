#include "PlatformTestFiles.h"

#include "InMemoryCalendarStore.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace PlatformTestFiles;

namespace {

class CalendarInMemoryStoreTest : public ::testing::Test
{
protected:
    InMemoryCalendarStore store;
    CalendarInfo cal = shootCalendar(store);
};

}

TEST_F(CalendarInMemoryStoreTest, BehavesLikeTheFileStoreForSavesRangesAndBatches)
{
    InMemoryCalendarStore empty;
    ASSERT_EQ(empty.sources().size(), 1);
    EXPECT_EQ(empty.sources().first().type, CalendarSourceType::Local);
    EXPECT_FALSE(empty.defaultCalendarForNewEvents());
    EXPECT_EQ(store.defaultCalendarForNewEvents()->identifier, cal.identifier);

    const int commits = store.commitCount();
    for (int d = 1; d <= 3; ++d) {
        CalendarEvent e = makeEvent(cal, QString::number(d), at(2027, 3, d, 10));
        ASSERT_TRUE(store.saveEvent(e, false));
    }
    EXPECT_EQ(store.commitCount(), commits);
    EXPECT_EQ(store.events(at(2027, 3, 1, 12), at(2027, 3, 3, 10), {cal.identifier}).size(), 1);
    ASSERT_TRUE(store.commit());
    EXPECT_EQ(store.commitCount(), commits + 1);

    CalendarEvent extra = makeEvent(cal, "", at(2027, 3, 9, 9), 0);
    ASSERT_TRUE(store.saveEvent(extra, false));
    store.reset();
    EXPECT_FALSE(store.event(extra.identifier));
}

TEST_F(CalendarInMemoryStoreTest, InjectedFailuresAndOutsideEdits)
{
    store.setFailure(QString("磁盘已满"));
    CalendarEvent e = makeEvent(cal, "", at(2027, 3, 5, 10), 0);
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

TEST_F(CalendarInMemoryStoreTest, KeepsTimesAsTheFileStoreDoes)
{
    CalendarEvent e = makeEvent(cal, "", at(2027, 3, 2, 9).addMSecs(400).toUTC(), 9);
    e.allDay = true;
    ASSERT_TRUE(store.saveEvent(e));
    EXPECT_EQ(store.event(e.identifier)->startDate, at(2027, 3, 2, 0));
    EXPECT_EQ(store.event(e.identifier)->endDate, at(2027, 3, 3, 0));
    EXPECT_EQ(*store.event(e.identifier), e);
}
