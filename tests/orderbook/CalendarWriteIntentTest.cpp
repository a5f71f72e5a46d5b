#include "CalendarSyncFixture.h"

#include "orderbook/OrderCodec.h"

#include <utility>

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


// A kill may come between any two files written during a delete. At each of
// those moments, once the book on disk has lost the order, its event is gone
// from the calendar or its removal waits on disk: a later start never meets
// an event no order holds and takes it for a new booking.
TEST_F(CalendarWriteIntentTest, ADeleteKeepsItsEventsRemovalOnDiskBeforeTheBookLosesTheOrder)
{
    const Order o = synced("秦三", 3);
    const std::optional<QString> event = sync(o);
    ASSERT_TRUE(event && calendar->event(*event));
    QStringList moments;
    bool looking = false;
    auto look = [&] {
        if (std::exchange(looking, true))
            return;
        UserDefaults disk(store->filePath());
        const bool booked = OrderManager(disk).order(o.id).has_value();
        const bool waiting = disk.dictionary(QString(OrderbookKeys::pendingCalendarWork))
                                 .value_or(QVariantMap())
                                 .value("removeEvents")
                                 .toStringList()
                                 .contains(*event);
        const bool inCalendar = calendar->event(*event).has_value();
        moments << QStringLiteral("%1 %2 %3").arg(booked ? "booked" : "deleted", waiting ? "removal-waiting" : "no-removal",
                                                  inCalendar ? "event-in-calendar" : "event-gone");
        looking = false;
    };
    // Just before each file takes its new bytes: what a kill then leaves.
    Paths::setSaveHook([&](Paths::SaveStep step, qsizetype&) {
        if (step == Paths::SaveStep::Rename)
            look();
        return 0;
    });
    const bool deleted = orders->deleteOrder(*orders->order(o.id));
    Paths::setSaveHook({});
    look();
    ASSERT_TRUE(deleted);
    EXPECT_FALSE(moments.contains("deleted no-removal event-in-calendar")) << moments.join(", ").toStdString();
    EXPECT_EQ(moments.last(), "deleted no-removal event-gone");
}

}
