#pragma once

#include "OrderbookFixture.h"

#include "orderbook/CalendarSyncManager.h"
#include "orderbook/OrderManager.h"
#include "InMemoryCalendarStore.h"
#include "platform/UserNotificationCenter.h"

#include <QCoreApplication>
#include <QDBusConnection>

// A calendar sync over an in-memory calendar, a notification centre on a
// private file with no bus, and an order store on the fixture's preferences.
class CalendarSyncFixture : public OrderbookFixture
{
protected:
    void SetUp() override
    {
        OrderbookFixture::SetUp();
        QFile::remove(Paths::dataDir() + "/calendar_sync.log");
        calendar = new InMemoryCalendarStore;
        notifications = std::make_unique<UserNotificationCenter>(dir.path() + "/pending.json",
                                                                 QDBusConnection(QStringLiteral("no-bus")));
        orders = std::make_unique<OrderManager>(*store);
        makeManager(*calendar);
    }
    void TearDown() override
    {
        manager.reset();
        delete calendar;
        OrderbookFixture::TearDown();
    }

    void makeManager(CalendarStore& events)
    {
        manager.reset();
        manager = std::make_unique<CalendarSyncManager>(events, *notifications, *store, *orders);
        settle(); // the deferred permission checks
        manager->setNotificationPermissionGranted(true);
        manager->setLocalNotificationEnabled(true);
    }

    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    // The log's messages without their time stamps.
    static QStringList logMessages()
    {
        QFile f(Paths::dataDir() + "/calendar_sync.log");
        QStringList out;
        if (!f.open(QIODevice::ReadOnly))
            return out;
        for (const QString& line : QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts))
            out.append(line.mid(line.indexOf("] ") + 2));
        return out;
    }

    // A stored order asking for sync, shot `days` from today at 15:00.
    Order synced(const QString& name, int days, OrderStatus status = OrderStatus::pendingShoot)
    {
        const QDateTime shoot(QDate::currentDate().addDays(days), QTime(15, 0));
        Order o(name, "", "标准套系", shoot, shoot, ShootTimeSlot::afternoon, 3000, 500, {}, "", status, true,
                QString("提前1天"), "", false);
        orders->addOrder(o);
        return o;
    }

    // Syncs and stores the identifier as the schedule screen does.
    std::optional<QString> sync(const Order& o)
    {
        std::optional<QString> id;
        manager->syncOrder(o, [&](const std::optional<QString>& result) { id = result; });
        if (id)
            orders->setCalendarEventIdentifiers({{o.id, *id}});
        return id;
    }

    QList<CalendarEvent> allEvents(CalendarStore& events) const
    {
        return events.events(QDateTime::currentDateTime().addYears(-2), QDateTime::currentDateTime().addYears(2));
    }
    static int appAlarms(const CalendarEvent& e)
    {
        return int(std::count_if(e.alarms.cbegin(), e.alarms.cend(), [](const CalendarAlarm& a) { return a.addedByApp; }));
    }
    QStringList pendingIds() const
    {
        QStringList ids;
        for (const UserNotificationRequest& r : notifications->pendingRequests())
            ids.append(r.identifier);
        return ids;
    }

    InMemoryCalendarStore* calendar = nullptr;
    std::unique_ptr<UserNotificationCenter> notifications;
    std::unique_ptr<OrderManager> orders;
    std::unique_ptr<CalendarSyncManager> manager;
};
