#include "CalendarSyncFixture.h"

#include "orderbook/OrderCodec.h"

namespace {

class CalendarWriteIntentTest : public CalendarSyncFixture
{
protected:
    QList<CalendarEvent> eventsOf(const Order& o) const
    {
        QList<CalendarEvent> out;
        for (const CalendarEvent& e : calendar->events(QDateTime::currentDateTime().addYears(-1),
                                                       QDateTime::currentDateTime().addYears(1)))
            if (e.orderIdentifier == OrderCodec::uuidText(o.id))
                out.append(e);
        return out;
    }
};

// A write the app gave up on may still be carried out by the calendar service
// once it answers again. The identifier the write was to give is stored with
// the waiting work, so the next write takes that event up instead of adding
// a second one, whether or not the service carried it out.
TEST_F(CalendarWriteIntentTest, AWriteGivenUpIsTakenUpByTheRetryNeverDoubled)
{
    for (const bool carriedOut : {true, false}) {
        SCOPED_TRACE(carriedOut ? "carried out later" : "never carried out");
        const Order o = synced(carriedOut ? "杨一" : "朱二", 3);
        calendar->setCommitFailure(QStringLiteral("系统日历服务没有响应"));
        EXPECT_FALSE(sync(o));
        calendar->setCommitFailure(std::nullopt);
        // Kept on disk before anything was asked of the calendar.
        const QVariantMap waiting = store->dictionary(QString(OrderbookKeys::pendingCalendarWork)).value_or(QVariantMap());
        EXPECT_TRUE(waiting.value("orders").toList().contains(OrderCodec::uuidText(o.id)));
        const QString intended = waiting.value("orderEvents").toMap().value(OrderCodec::uuidText(o.id)).toString();
        ASSERT_FALSE(intended.isEmpty());
        ASSERT_TRUE(eventsOf(o).isEmpty());

        if (carriedOut) {
            calendar->editFromOutside([&](InMemoryCalendarStore& s) {
                CalendarEvent e;
                e.identifier = intended;
                e.calendarIdentifier = s.calendars().first().identifier;
                e.title = CalendarSyncManager::eventTitle(o);
                e.startDate = *CalendarSyncManager::shootStart(o);
                e.endDate = e.startDate.addSecs(7200);
                e.orderIdentifier = OrderCodec::uuidText(o.id);
                s.saveEvent(e, false);
            });
        }
        manager->refreshEvents();
        settle();
        const QList<CalendarEvent> events = eventsOf(o);
        ASSERT_EQ(events.size(), 1);
        EXPECT_EQ(events.first().identifier, intended);
        EXPECT_EQ(orders->order(o.id)->calendarEventIdentifier, intended);
        EXPECT_EQ(manager->pendingCalendarWork(), 0);
        EXPECT_FALSE(store->hasStoredValue(OrderbookKeys::pendingCalendarWork));
    }
}

}
