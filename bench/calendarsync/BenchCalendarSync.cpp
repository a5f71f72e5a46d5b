// Batch sync of 1,000 orders with three reminder rules each into the
// iCalendar files, twice: time, calendar file writes, resident memory, and
// what the calendar holds afterwards. Prints one "name: value" line per figure.

#include "SyncBenchMemory.h"
#include "SyncBenchOrders.h"

#include "orderbook/CalendarSyncManager.h"
#include "orderbook/OrderManager.h"
#include "platform/IcsCalendarStore.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using SyncBenchMemory::residentMiB;

void print(const char* name, double value)
{
    std::printf("%s: %.3f\n", name, value);
    std::fflush(stdout);
}

}

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    // Keep the user's own preference and data folders out of reach.
    qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8());
    QCoreApplication app(argc, argv);

    UserDefaults defaults(dir.path() + "/defaults.json");
    OrderManager orders(defaults);
    IcsCalendarStore calendar(dir.path() + "/calendars");
    UserNotificationCenter notifications(dir.path() + "/pending.json", QDBusConnection(QStringLiteral("no-bus")));
    CalendarSyncManager manager(calendar, notifications, defaults, orders);
    // Let the (refused: no bus here) notification permission answer arrive
    // before granting it, so it cannot take the grant back mid-run.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    manager.setNotificationPermissionGranted(true);
    manager.setLocalNotificationEnabled(true);

    orders.setOrders(syncBenchOrders(1000));
    orders.save();

    for (int round = 1; round <= 2; ++round) {
        const int writesBefore = calendar.writeCount();
        const double memoryBefore = residentMiB();
        QElapsedTimer t;
        t.start();
        int saved = 0;
        manager.batchSyncAllOrders(orders.orders(), [&](int n) { saved = n; });
        const double ms = double(t.nsecsElapsed()) / 1e6;
        QCoreApplication::processEvents();
        const QString round_ = QString::number(round);
        print(qPrintable("batch_" + round_ + "_ms"), ms);
        print(qPrintable("batch_" + round_ + "_saved"), saved);
        print(qPrintable("batch_" + round_ + "_calendar_writes"), calendar.writeCount() - writesBefore);
        print(qPrintable("batch_" + round_ + "_rss_growth_mib"), residentMiB() - memoryBefore);
    }

    const QList<CalendarEvent> events
        = calendar.events(QDateTime::currentDateTime().addYears(-1), QDateTime::currentDateTime().addYears(1));
    int tied = 0;
    int eventsWithThreeAlarms = 0;
    for (const CalendarEvent& e : events) {
        tied += orders.hasOrderWithCalendarEventIdentifier(e.identifier) ? 1 : 0;
        int ours = 0;
        for (const CalendarAlarm& a : e.alarms)
            ours += a.addedByApp ? 1 : 0;
        eventsWithThreeAlarms += ours == 3 ? 1 : 0;
    }
    print("events_after_two_batches", events.size());
    print("events_tied_to_orders", tied);
    print("events_with_one_set_of_app_alarms", eventsWithThreeAlarms);
    print("pending_notifications", notifications.pendingRequests().size());
    return 0;
}
