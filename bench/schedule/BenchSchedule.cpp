// Times the month calendar over 10,000 orders in five years and 1,000
// calendar events: a whole month's day figures, the same right after an
// order edit, a 6-row grid repainted offscreen at 1100 px, a batch delete of
// 500 orders beside a single one, and lunar labels for every day of
// 1901-2100 from our table beside ICU; a search keystroke (the found orders
// and a month grid's 42 day marks) over 10,000 and 50,000 orders beside one
// plain pass over their names and phones; then the settings sheet's batch
// calendar sync of 1,000 and 10,000 future orders into iCalendar files, with
// the writes it made and its consistency checks, and once more over the same
// orders (BENCH_BATCH_ONLY=n runs that alone). TZ is unset, as on a
// desktop. Prints one "name: value" line per figure (milliseconds unless
// named otherwise).

#include "orderbook/CalendarSyncManager.h"
#include "orderbook/OrderManager.h"
#include "orderbook/OrderbookKeys.h"
#include "orderbook/PackageManager.h"
#include "platform/IcsCalendarStore.h"
#include "InMemoryCalendarStore.h"
#include "platform/UserNotificationCenter.h"
#include "platform/UserDefaults.h"
#include "schedule/CalendarBatchSelection.h"
#include "schedule/LunarCalendar.h"
#include "schedule/MonthGridView.h"
#include "schedule/ScheduleCalendarModel.h"
#include "schedule/ScheduleIncomeState.h"
#include "schedule/ScheduleSettingsState.h"

#include <QApplication>
#include <QDBusConnection>
#include <QImage>
#include <QSet>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

double msSince(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

void print(const char* name, double value)
{
    std::printf("%s: %.3f\n", name, value);
    std::fflush(stdout);
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double monthFigures(const ScheduleCalendarModel& model)
{
    QElapsedTimer t;
    t.start();
    int items = 0;
    for (const QDate& day : model.daysInMonth()) {
        if (day.isValid())
            items += model.dayFigures(day).itemCount;
    }
    const double ms = msSince(t);
    if (items < 0)
        std::printf("impossible\n");
    return ms;
}

// Saves of files named `*suffix` since `fd` started watching their folder:
// every store writes a copy and renames (or, when new, links) it into place.
// Temporary copies and lock files are not counted, so each save is one.
int fileWrites(int fd, const char* suffix)
{
    int count = 0;
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return count;
        for (char* p = buffer; p < buffer + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(p);
            if ((e->mask & (IN_MOVED_TO | IN_CREATE)) && e->len > 0
                && QByteArray(e->name).endsWith(suffix))
                ++count;
            p += sizeof(inotify_event) + e->len;
        }
    }
}

Order benchOrder(const QString& name, const QString& phone, const QDateTime& shoot, double total, bool sync)
{
    return Order(name, phone, "标准套系", shoot, shoot, ShootTimeSlot::morning, total, 300, {}, "",
                 OrderStatus::pendingShoot, sync, QString("提前1天"), "", false);
}

// What the process holds now, before a batch: the figure its peak is held against.
double residentMiB()
{
    QFile f("/proc/self/statm");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024 * 1024) : 0;
}

double maxRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

void batchSync(int n)
{
    QTemporaryDir dir;
    UserDefaults store(dir.path() + "/defaults.json");
    OrderManager orders(store);
    PackageManager packages(store);
    IcsCalendarStore calendar(dir.path() + "/calendars");
    UserNotificationCenter notifications(dir.path() + "/notifications/pending.json",
                                         QDBusConnection(QStringLiteral("no-bus")));
    CalendarSyncManager sync(calendar, notifications, store, orders);
    QCoreApplication::processEvents(); // the deferred permission check
    sync.setNotificationPermissionGranted(true);
    sync.setLocalNotificationEnabled(true);
    sync.setReminderRules(ReminderRule::defaultRules());
    ScheduleSettingsState state(store, orders, packages, sync, notifications);

    QList<Order> list;
    const QDateTime first(QDate::currentDate().addDays(10), QTime(14, 0));
    for (int i = 0; i < n; ++i) {
        const QDateTime shoot = first.addSecs(qint64(i % 150) * 86400 + (i / 150) * 60);
        list.append(Order(QStringLiteral("客户%1").arg(i), "13800138000", "标准套系", shoot, shoot,
                          ShootTimeSlot::afternoon, 3000, 300, {}, "", OrderStatus::pendingShoot, true,
                          QString("提前1天"), "", false));
    }
    orders.setOrders(list);
    orders.save();

    const int calendarFd = inotify_init1(IN_NONBLOCK);
    const int notificationFd = inotify_init1(IN_NONBLOCK);
    QDir().mkpath(dir.path() + "/calendars");
    QDir().mkpath(dir.path() + "/notifications");
    inotify_add_watch(calendarFd, QFile::encodeName(dir.path() + "/calendars").constData(), IN_MOVED_TO | IN_CREATE);
    inotify_add_watch(notificationFd, QFile::encodeName(dir.path() + "/notifications").constData(),
                      IN_MOVED_TO | IN_CREATE);
    int written = -1;
    QObject::connect(&state, &ScheduleSettingsState::batchFinished, [&](int count) { written = count; });
    const double idle = residentMiB();
    QElapsedTimer t;
    t.start();
    state.runBatchSync();
    while (written < 0)
        QCoreApplication::processEvents();
    const double ms = msSince(t);

    QSet<QString> ids;
    int tied = 0;
    for (const Order& o : orders.orders()) {
        if (o.calendarEventIdentifier) {
            ++tied;
            ids.insert(*o.calendarEventIdentifier);
        }
    }
    const QList<CalendarEvent> events = calendar.events(first.addDays(-1), first.addYears(1));
    int named = 0;
    for (const QString& id : ids)
        named += calendar.event(id) ? 1 : 0;
    const qsizetype before = orders.orders().size();
    sync.refreshEvents();
    QCoreApplication::processEvents();
    const QByteArray label = QByteArray::number(n);
    print(("batch_sync_ms_" + label).constData(), ms);
    std::printf("batch_sync_%d: %d written, %d calendar file writes, %d notification file writes, %lld pending "
                "reminders, max RSS %.1f MiB (%.1f MiB above the %.1f MiB before the batch)\n",
                n, written, fileWrites(calendarFd, ".ics"), fileWrites(notificationFd, ".json"),
                qint64(notifications.pendingRequests().size()), maxRssMiB(), maxRssMiB() - idle, idle);
    std::printf("batch_sync_%d checks: %d events, %lld distinct identifiers in %d orders, %d name an event, "
                "%lld orders imported by a refresh\n",
                n, int(events.size()), qint64(ids.size()), tied, named, qint64(orders.orders().size() - before));

    // Again over the same orders: every event edited in place, every reminder
    // replaced. No notification service answers here: grant again what the
    // refresh took back.
    sync.setNotificationPermissionGranted(true);
    written = -1;
    t.restart();
    state.runBatchSync();
    while (written < 0)
        QCoreApplication::processEvents();
    print(("batch_resync_ms_" + label).constData(), msSince(t));
    std::printf("batch_resync_%d: %d written, %d calendar file writes, %d notification file writes, %lld pending "
                "reminders, max RSS %.1f MiB (%.1f MiB above the %.1f MiB before the first batch)\n",
                n, written, fileWrites(calendarFd, ".ics"), fileWrites(notificationFd, ".json"),
                qint64(notifications.pendingRequests().size()), maxRssMiB(), maxRssMiB() - idle, idle);
    close(calendarFd);
    close(notificationFd);
}

// A keystroke in the search field over `n` orders against one plain
// case-insensitive pass over every name and phone, per query, same run.
void searchKeystrokes(int n)
{
    QTemporaryDir dir;
    UserDefaults store(dir.path() + "/defaults.json");
    OrderManager orders(store);
    QRandomGenerator rng(11);
    const QDateTime start(QDate::currentDate().addYears(-2), QTime(10, 0));
    QList<Order> list;
    for (int i = 0; i < n; ++i) {
        const QDateTime shoot = start.addSecs(qint64(rng.bounded(4 * 365)) * 86400);
        const QString name = i % 4 == 0 ? QStringLiteral("Anna %1").arg(i) : QStringLiteral("客户%1").arg(i);
        // The first order has no phone, so "1" finds all but one.
        const QString phone = i == 0 ? QString() : QStringLiteral("139%1").arg(rng.bounded(100000000), 8, 10, QLatin1Char('0'));
        list.append(benchOrder(name, phone, shoot, 3000, false));
    }
    orders.setOrders(list);
    ScheduleIncomeState state(orders);
    const QDate firstCell = QDate::currentDate().addDays(-20);

    double worst = 0, worstMs = 0;
    for (const QString& query : {QStringLiteral("1"), QStringLiteral("139"), QStringLiteral("ANNA"), QStringLiteral("客户"),
                                 QStringLiteral("客户12"), QStringLiteral("无此人")}) {
        QList<double> plain, keystroke;
        int sink = 0;
        for (int run = 0; run < 15; ++run) {
            QElapsedTimer t;
            t.start();
            for (const Order& o : orders.orders())
                sink += o.customerName.contains(query, Qt::CaseInsensitive) || o.phone.contains(query, Qt::CaseInsensitive);
            plain.append(msSince(t));
            state.setSearchText(QString());
            t.restart();
            state.setSearchText(query);
            sink += int(state.filteredOrders().size());
            for (int cell = 0; cell < 42; ++cell)
                sink += state.hasMatchingOrders(firstCell.addDays(cell));
            keystroke.append(msSince(t));
        }
        const double ratio = median(keystroke) / median(plain);
        std::printf("search_%d \"%s\": keystroke %.3f ms, plain pass %.3f ms, ratio %.2f (%d)\n", n,
                    query.toUtf8().constData(), median(keystroke), median(plain), ratio, sink % 2);
        if (ratio > worst) {
            worst = ratio;
            worstMs = median(keystroke);
        }
    }
    const QByteArray label = QByteArray::number(n);
    print(("search_keystroke_worst_ratio_" + label).constData(), worst);
    print(("search_keystroke_worst_ms_" + label).constData(), worstMs);
}

}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // As desktops run: the zone comes from /etc/localtime, not from TZ.
    qunsetenv("TZ");
    tzset();
    QApplication app(argc, argv);
    // Alone, so the peak memory printed is the batch's own.
    if (const QByteArray only = qgetenv("BENCH_BATCH_ONLY"); !only.isEmpty()) {
        batchSync(only.toInt());
        return 0;
    }
    for (int n : {10000, 50000})
        searchKeystrokes(n);
    if (!qgetenv("BENCH_SEARCH_ONLY").isEmpty())
        return 0;
    QTemporaryDir dir;
    UserDefaults store(dir.path() + "/defaults.json");
    OrderManager orders(store);

    QRandomGenerator rng(7);
    const QDateTime start(QDate::currentDate().addYears(-3), QTime(9, 0));
    QList<Order> list;
    for (int i = 0; i < 10000; ++i) {
        const QDateTime shoot = start.addSecs(qint64(rng.bounded(5 * 365)) * 86400);
        Order o = benchOrder(QStringLiteral("客户%1").arg(i), "13800138000", shoot, 1000 + rng.bounded(5000), true);
        if (i % 2 == 0)
            o.calendarEventIdentifier = QStringLiteral("EV%1").arg(i);
        list.append(o);
    }
    orders.setOrders(list);
    orders.save();

    QList<ShootEvent> events;
    for (int i = 0; i < 1000; ++i) {
        const QDateTime when = start.addSecs(qint64(rng.bounded(5 * 365)) * 86400);
        events.append({QStringLiteral("EV%1").arg(i * 3), "拍摄", when, when.addSecs(3600), std::nullopt, std::nullopt});
    }
    ScheduleCalendarModel model(orders, store);
    model.setShootEvents(events);

    QElapsedTimer t;
    QList<double> plain, afterEdit;
    for (int run = 0; run < 60; ++run) {
        model.setCurrentMonth(start.date().addMonths(run));
        plain.append(monthFigures(model));
        Order edited = orders.orders()[run * 97];
        edited.totalAmount += 1;
        orders.updateOrder(edited);
        afterEdit.append(monthFigures(model));
    }
    print("month_figures_median_ms", median(plain));
    print("month_figures_after_edit_median_ms", median(afterEdit));

    // A six-row month (the 1st on a Sunday, weeks from Monday), 1100 px wide.
    QDate sixRows = start.date();
    while (QDate(sixRows.year(), sixRows.month(), 1).dayOfWeek() != 7 || sixRows.daysInMonth() < 30)
        sixRows = sixRows.addMonths(1);
    model.setCurrentMonth(sixRows);
    CalendarBatchSelection selection(model);
    MonthGridView grid(selection);
    QCoreApplication::processEvents();
    grid.resize(1100 - 48, grid.sizeHint().height());
    QImage canvas(grid.size(), QImage::Format_ARGB32_Premultiplied);
    QList<double> repaint, repaintAfterEdit;
    for (int run = 0; run < 100; ++run) {
        QElapsedTimer timer;
        timer.start();
        grid.render(&canvas);
        repaint.append(msSince(timer));
        Order edited = orders.orders()[run * 31];
        edited.totalAmount += 1;
        orders.updateOrder(edited);
        timer.restart();
        QCoreApplication::processEvents();
        grid.render(&canvas);
        repaintAfterEdit.append(msSince(timer));
    }
    print("grid_repaint_median_ms", median(repaint));
    print("grid_repaint_after_edit_median_ms", median(repaintAfterEdit));

    // Deletes through the calendar sync: every order to go has its event and
    // reminders, in an in-memory calendar that counts its writes.
    InMemoryCalendarStore calendar;
    UserNotificationCenter notifications(dir.path() + "/pending.json", QDBusConnection(QStringLiteral("no-bus")));
    CalendarSyncManager sync(calendar, notifications, store, orders);
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    QList<Order> toSync;
    for (int i = 0; i < 1002; i += 2)
        toSync.append(orders.orders()[i]);
    int synced = 0;
    sync.batchSyncAllOrders(toSync, [&](int count) { synced = count; });
    QList<QUuid> batch;
    for (const Order& o : toSync)
        batch.append(o.id);
    const QUuid single = batch.takeLast();
    int saves = 0;
    QObject::connect(&store, &UserDefaults::changed, [&](const QString& key) {
        saves += key == QString(OrderbookKeys::orders) ? 1 : 0;
    });
    t.start();
    selection.deleteOrders({single});
    const double singleMs = msSince(t);
    saves = 0;
    const int commits = calendar.commitCount();
    t.restart();
    const int removed = selection.deleteOrders(batch);
    const double batchMs = msSince(t);
    print("delete_single_ms", singleMs);
    print("delete_batch_500_ms", batchMs);
    print("delete_batch_over_single", batchMs / singleMs);
    std::printf("delete_batch_removed: %d of %d synced, saves: %d, calendar writes: %d\n", removed, synced, saves,
                calendar.commitCount() - commits);

    const QDate first(1901, 2, 19), end = LunarCalendar::tableEnd();
    t.restart();
    qsizetype chars = 0;
    for (QDate d = first; d < end; d = d.addDays(1))
        chars += LunarCalendar::lunarString(d).size();
    const double tableMs = msSince(t);
    t.restart();
    int days = 0;
    for (QDate d = first; d < end; d = d.addDays(1))
        days += LunarCalendar::icuLunarDate(d) ? 1 : 0;
    const double icuMs = msSince(t);
    int differing = 0;
    for (QDate d = first; d < end; d = d.addDays(1))
        differing += LunarCalendar::icuLunarDate(d) != LunarCalendar::lunarDate(d) ? 1 : 0;
    print("lunar_labels_1901_2100_table_ms", tableMs);
    print("lunar_dates_1901_2100_icu_ms", icuMs);
    print("lunar_table_speedup", icuMs / tableMs);
    std::printf("lunar_days: %d (%lld label characters), %d where ICU differs\n", days, qint64(chars), differing);

    for (int n : {1000, 10000})
        batchSync(n);
    return 0;
}
