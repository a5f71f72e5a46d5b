// The calendar sync on the desktop's calendar service, started here on a
// private bus: batch sync of 1,000 orders against the iCalendar files in the
// same run, and opening a calendar of 5,000 events with a new store. Prints
// one "name: value" line per figure.

#include "CalendarServiceDaemons.h"

#include "SyncBenchOrders.h"

#include "orderbook/CalendarSyncManager.h"
#include "orderbook/OrderManager.h"
#include "platform/EdsCalendarStore.h"
#include "platform/IcsCalendarStore.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void print(const char* name, double value)
{
    std::printf("%s: %.3f\n", name, value);
    std::fflush(stdout);
}

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// One batch sync of the same 1,000 orders into `calendar`, in milliseconds.
double batchSync(CalendarStore& calendar, const QString& folder)
{
    UserDefaults defaults(folder + "/defaults.json");
    OrderManager orders(defaults);
    UserNotificationCenter notifications(folder + "/pending.json", QDBusConnection(QStringLiteral("no-bus")));
    CalendarSyncManager manager(calendar, notifications, defaults, orders);
    settle(50);
    orders.setOrders(syncBenchOrders(1000));
    QElapsedTimer t;
    t.start();
    int saved = 0;
    manager.batchSyncAllOrders(orders.orders(), [&](int n) { saved = n; });
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (saved != 1000)
        std::printf("warning: %d of 1000 saved\n", saved);
    return ms;
}

}

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8());
    QCoreApplication app(argc, argv);
    CalendarServiceDaemons service(dir.path() + "/service");
    if (!service.ready()) {
        std::printf("the calendar service did not start\n");
        return 1;
    }

    {
        IcsCalendarStore files(dir.path() + "/calendars");
        const double filesMs = batchSync(files, dir.path() + "/files");
        std::unique_ptr<EdsCalendarStore> eds = EdsCalendarStore::connect();
        const double serviceMs = batchSync(*eds, dir.path() + "/service-sync");
        print("batch_1000_files_ms", filesMs);
        print("batch_1000_service_ms", serviceMs);
        print("batch_1000_service_over_files", serviceMs / filesMs);
        settle(2000); // the service's reports of the batch arrive
    }

    // A calendar of 5,000 events, then a new store opening it.
    QString calendarId;
    {
        std::unique_ptr<EdsCalendarStore> eds = EdsCalendarStore::connect();
        CalendarInfo cal;
        cal.title = "五千档期";
        cal.color = QColor("#CD5B2B");
        cal.source = eds->sources().last();
        eds->saveCalendar(cal);
        calendarId = cal.identifier;
        const QDateTime first(QDate::currentDate().addMonths(-5), QTime(10, 0));
        for (int i = 0; i < 5000; ++i) {
            CalendarEvent e;
            e.calendarIdentifier = calendarId;
            e.title = QStringLiteral("客户%1 - 标准套系").arg(i);
            e.notes = QStringLiteral("客户%1-13800138000-定金500").arg(i);
            e.startDate = first.addSecs(qint64(i) * 2 * 3600);
            e.endDate = e.startDate.addSecs(2 * 3600);
            e.addAlarm(CalendarAlarm::atDate(e.startDate.addDays(-1)));
            eds->saveEvent(e, false);
        }
        QElapsedTimer t;
        t.start();
        eds->commit();
        print("write_5000_events_ms", double(t.nsecsElapsed()) / 1e6);
        settle(3000);
    }
    // Cold: the service opens the calendar for us. Warm: another program
    // (the desktop's reminder daemon, a calendar app) has it open already.
    std::unique_ptr<EdsCalendarStore> other;
    for (const char* round : {"cold", "warm"}) {
        QElapsedTimer t;
        t.start();
        std::unique_ptr<EdsCalendarStore> eds = EdsCalendarStore::connect();
        const QList<CalendarEvent> events
            = eds->events(QDateTime::currentDateTime().addYears(-1), QDateTime::currentDateTime().addYears(1), {calendarId});
        print(qPrintable(QString("open_5000_events_%1_ms").arg(round)), double(t.nsecsElapsed()) / 1e6);
        print(qPrintable(QString("open_5000_events_%1_count").arg(round)), events.size());
        other = std::move(eds);
    }
    return 0;
}
