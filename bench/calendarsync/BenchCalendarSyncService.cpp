// The calendar sync on the desktop's calendar service, started here on a
// private bus: batch sync of 1,000 orders against the iCalendar files in the
// same run, and opening a calendar of 5,000 events with a new store. Each is
// also measured against the service's own floor in the same run: its client
// library creating the same 1,000 events in one call, and listing the same
// 5,000 objects. Prints one "name: value" line per figure.

#include "CalendarServiceDaemons.h"

#include "SyncBenchMemory.h"
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
#include <QUuid>

#include <cstdio>
#include <malloc.h>

#undef signals
#include <libecal/libecal.h>

namespace {

using namespace SyncBenchMemory;

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

// One batch sync of the same `count` orders into `calendar`, in
// milliseconds; `peakGrowth` gets the most it held above the idle app.
double batchSync(CalendarStore& calendar, const QString& folder, int count = 1000, double* peakGrowth = nullptr)
{
    UserDefaults defaults(folder + "/defaults.json");
    OrderManager orders(defaults);
    UserNotificationCenter notifications(folder + "/pending.json", QDBusConnection(QStringLiteral("no-bus")));
    CalendarSyncManager manager(calendar, notifications, defaults, orders);
    settle(50);
    orders.setOrders(syncBenchOrders(count));
    const double idle = residentMiB();
    resetPeak();
    QElapsedTimer t;
    t.start();
    int saved = 0;
    manager.batchSyncAllOrders(orders.orders(), [&](int n) { saved = n; });
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (peakGrowth)
        *peakGrowth = peakMiB() - idle;
    if (saved != count)
        std::printf("warning: %d of %d saved\n", saved, count);
    return ms;
}

// The service's client library alone on one calendar, as a new program
// meets it: the registry, the calendar's client.
struct FloorClient {
    ESourceRegistry* registry = nullptr;
    ECalClient* client = nullptr;
    explicit FloorClient(const QString& calendarId)
    {
        registry = e_source_registry_new_sync(nullptr, nullptr);
        ESource* source = registry ? e_source_registry_ref_source(registry, calendarId.toUtf8().constData()) : nullptr;
        if (source)
            client = E_CAL_CLIENT(e_cal_client_connect_sync(source, E_CAL_CLIENT_SOURCE_TYPE_EVENTS, guint32(-1), nullptr, nullptr));
        if (source)
            g_object_unref(source);
    }
    ~FloorClient()
    {
        if (client)
            g_object_unref(client);
        if (registry)
            g_object_unref(registry);
    }
    GSList* objects() const
    {
        GSList* out = nullptr;
        if (client)
            e_cal_client_get_object_list_as_comps_sync(client, "#t", &out, nullptr, nullptr);
        return out;
    }
};

// The floor of opening: connecting and listing every object, in milliseconds.
double listFloorMs(const QString& calendarId, int* count)
{
    QElapsedTimer t;
    t.start();
    FloorClient floor(calendarId);
    GSList* objects = floor.objects();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    *count = int(g_slist_length(objects));
    g_slist_free_full(objects, g_object_unref);
    return ms;
}

// The floor of a batch: the events the sync wrote into `fromId`, created
// again under new UIDs in `toId` with one call, in milliseconds.
double createFloorMs(const QString& fromId, const QString& toId, int* count)
{
    GSList* objects = FloorClient(fromId).objects();
    GSList* components = nullptr;
    for (GSList* l = objects; l; l = l->next) {
        ICalComponent* c = i_cal_component_clone(e_cal_component_get_icalcomponent(E_CAL_COMPONENT(l->data)));
        const QByteArray uid = QUuid::createUuid().toByteArray(QUuid::WithoutBraces).toUpper();
        i_cal_component_set_uid(c, uid.constData());
        components = g_slist_prepend(components, c);
    }
    g_slist_free_full(objects, g_object_unref);
    *count = int(g_slist_length(components));
    FloorClient target(toId);
    QElapsedTimer t;
    t.start();
    GSList* uids = nullptr;
    if (!target.client
        || !e_cal_client_create_objects_sync(target.client, components, E_CAL_OPERATION_FLAG_NONE, &uids, nullptr, nullptr))
        std::printf("warning: the floor's create failed\n");
    const double ms = double(t.nsecsElapsed()) / 1e6;
    g_slist_free_full(uids, g_free);
    g_slist_free_full(components, g_object_unref);
    return ms;
}

QString makeCalendar(EdsCalendarStore& eds, const QString& title)
{
    CalendarInfo cal;
    cal.title = title;
    cal.color = QColor("#CD5B2B");
    cal.source = eds.sources().last();
    eds.saveCalendar(cal);
    return cal.identifier;
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
        QString synced;
        for (const CalendarInfo& c : eds->calendars())
            if (c.title == CalendarSyncManager::calendarName())
                synced = c.identifier;
        int created = 0;
        const double floorMs = createFloorMs(synced, makeCalendar(*eds, "一千档期"), &created);
        print("batch_1000_floor_create_objects_ms", floorMs);
        print("batch_1000_floor_count", created);
        print("batch_1000_service_over_floor", serviceMs / floorMs);
        settle(2000);
        double growth = 0;
        print("batch_10000_service_ms", batchSync(*eds, dir.path() + "/service-10000", 10000, &growth));
        print("batch_10000_service_peak_above_idle_mib", growth);
        settle(3000);
    }

    // A calendar of 5,000 events, then a new store opening it.
    QString calendarId;
    {
        std::unique_ptr<EdsCalendarStore> eds = EdsCalendarStore::connect();
        calendarId = makeCalendar(*eds, "五千档期");
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
    // Cold: the service freshly started, so it opens the calendar for us.
    // Warm: another program (the desktop's reminder daemon, a calendar app)
    // has it open already. The floor is measured the same way just before.
    std::unique_ptr<EdsCalendarStore> other;
    for (const char* round : {"cold", "warm"}) {
        const bool cold = QByteArray(round) == "cold";
        if (cold && !service.restartFactory())
            std::printf("warning: the calendar factory did not restart\n");
        int floorCount = 0;
        const double floorMs = listFloorMs(calendarId, &floorCount);
        // The floor gave back its 5,000 objects in small blocks, which the
        // allocator merges only at the next large request: without this,
        // the first such request in the store's timing pays for the floor.
        malloc_trim(0);
        if (cold && !service.restartFactory())
            std::printf("warning: the calendar factory did not restart\n");
        QElapsedTimer t;
        t.start();
        std::unique_ptr<EdsCalendarStore> eds = EdsCalendarStore::connect();
        const QList<CalendarEvent> events
            = eds->events(QDateTime::currentDateTime().addYears(-1), QDateTime::currentDateTime().addYears(1), {calendarId});
        const double ms = double(t.nsecsElapsed()) / 1e6;
        print(qPrintable(QString("open_5000_events_%1_ms").arg(round)), ms);
        print(qPrintable(QString("open_5000_events_%1_count").arg(round)), events.size());
        print(qPrintable(QString("open_5000_floor_%1_ms").arg(round)), floorMs);
        print(qPrintable(QString("open_5000_floor_%1_count").arg(round)), floorCount);
        print(qPrintable(QString("open_5000_%1_over_floor").arg(round)), ms / floorMs);
        other = std::move(eds);
    }
    return 0;
}
