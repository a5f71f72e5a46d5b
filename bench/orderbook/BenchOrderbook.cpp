// Times the order book at 1,000, 10,000 and 50,000 orders: load, one add and
// one edit with their save, a 42-cell month of day figures, every revenue
// figure and a year's CSV; then the export and import of a backup holding
// 10,000 orders; then refreshEvents over 5,000 calendar events of which
// 2,000 belong to orders. Prints one "name: value" line per figure.

#include "orderbook/BackupManager.h"
#include "orderbook/CalendarSyncManager.h"
#include "orderbook/OrderCodec.h"
#include "orderbook/OrderbookKeys.h"
#include "orderbook/OrderManager.h"
#include "orderbook/PackageManager.h"
#include "platform/IcsCalendarStore.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>
#include <cstdlib>

namespace {

double msSince(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

void print(const char* name, int n, double value)
{
    std::printf("%s_%d: %.3f\n", name, n, value);
    std::fflush(stdout);
}

QList<Order> makeOrders(int n)
{
    QRandomGenerator rng(42);
    const QDateTime start = QDateTime::currentDateTime().addMonths(-18);
    const char* names[] = {"王女士", "李先生", "张三", "赵, 四", "陈\"五\""};
    QList<Order> list;
    list.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QDateTime shoot = start.addSecs(qint64(rng.bounded(24 * 30 * 86400)));
        QList<PaymentRecord> payments;
        const int count = rng.bounded(3);
        for (int p = 0; p < count; ++p)
            payments.append(PaymentRecord(500 + rng.bounded(2000), shoot.addDays(-rng.bounded(60)), "定金"));
        Order o(QString::fromUtf8(names[i % 5]), "13800138000", "标准套系", shoot, shoot, ShootTimeSlot::morning,
                1000 + rng.bounded(5000), 300, payments, "备注 " + QString::number(i),
                count ? OrderStatus::pendingShoot : OrderStatus::pendingDeposit, true, QString("提前1天"),
                "外滩", false);
        if (i % 3 == 0)
            o.calendarEventIdentifier = "EV" + QString::number(i);
        list.append(o);
    }
    return list;
}

// The least any safe save can cost: write the same bytes to a new file,
// fdatasync, rename over the old one and sync the folder.
double safeRewriteFloorMs(const QString& path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = in.readAll();
    const QByteArray target = QFile::encodeName(path + ".floor");
    const QByteArray temp = target + ".tmp";
    // The old file is there, as for a real save: the rename that replaces it
    // also lets go of its pages.
    {
        const int old = ::open(target.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (old < 0 || ::write(old, bytes.constData(), size_t(bytes.size())) != bytes.size() || ::fsync(old) != 0)
            return -1;
        ::close(old);
    }
    QElapsedTimer t;
    t.start();
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    ok = fd >= 0 && ::fdatasync(fd) == 0 && ok;
    if (fd >= 0)
        ::close(fd);
    ok = ok && ::rename(temp.constData(), target.constData()) == 0;
    const int dirFd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    const double ms = msSince(t);
    ::unlink(target.constData());
    return ok ? ms : -1;
}

void run(int n, const QString& dir)
{
    const QList<Order> orders = makeOrders(n);
    UserDefaults store(dir + QStringLiteral("/defaults-%1.json").arg(n));

    QElapsedTimer t;
    t.start();
    const QByteArray bytes = *OrderCodec::encodeOrders(orders);
    print("encode_ms", n, msSince(t));
    print("stored_kib", n, bytes.size() / 1024.0);
    store.set(OrderbookKeys::orders, bytes);

    t.restart();
    volatile qsizetype parsed = QJsonDocument::fromJson(bytes).array().size();
    const double rawParse = msSince(t);
    print("raw_json_parse_ms", n, rawParse);
    (void)parsed;

    t.restart();
    UserDefaults reopened(store.filePath());
    const double fileLoad = msSince(t);
    print("defaults_file_load_ms", n, fileLoad);

    t.restart();
    OrderManager manager(reopened);
    const double load = msSince(t);
    print("load_ms", n, load);
    print("file_plus_load_over_raw_parse", n, (fileLoad + load) / rawParse);
    print("floor_safe_rewrite_ms", n, safeRewriteFloorMs(store.filePath()));

    t.restart();
    const QByteArray again = *OrderCodec::encodeOrders(manager.orders());
    print("encode_loaded_ms", n, msSince(t));
    t.restart();
    reopened.set(QStringLiteral("bench_copy"), again);
    print("defaults_set_same_size_ms", n, msSince(t));
    reopened.remove(QStringLiteral("bench_copy"));

    t.restart();
    Order extra = orders.first();
    extra.id = QUuid::createUuid();
    manager.addOrder(extra);
    print("add_with_save_ms", n, msSince(t));

    t.restart();
    extra.note = "改过";
    manager.updateOrder(extra);
    print("edit_with_save_ms", n, msSince(t));

    // On a shared disk one sync can take twice another: medians of five,
    // each beside the floor measured the same way.
    auto median5 = [](const std::function<double()>& once) {
        std::vector<double> runs;
        for (int i = 0; i < 5; ++i)
            runs.push_back(once());
        std::sort(runs.begin(), runs.end());
        return runs[2];
    };
    print("floor_safe_rewrite_median5_ms", n, median5([&] { return safeRewriteFloorMs(store.filePath()); }));
    print("add_with_save_median5_ms", n, median5([&] {
              Order another = extra;
              another.id = QUuid::createUuid();
              t.restart();
              manager.addOrder(another);
              return msSince(t);
          }));
    int edits = 0;
    print("edit_with_save_median5_ms", n, median5([&] {
              extra.note = "改过 " + QString::number(++edits);
              t.restart();
              manager.updateOrder(extra);
              return msSince(t);
          }));

    const QDate first = QDate::currentDate().addDays(1 - QDate::currentDate().day());
    const QDate gridStart = first.addDays(1 - first.dayOfWeek());
    auto month = [&] {
        int found = 0;
        double revenue = 0;
        for (int cell = 0; cell < 42; ++cell) {
            const QDate day = gridStart.addDays(cell);
            found += int(manager.ordersFor(day).size());
            revenue += manager.totalRevenue(day);
            found += manager.isDayFull(day) ? 1 : 0;
            found += manager.isRestDay(day) ? 1 : 0;
        }
        return found + int(revenue > 0);
    };
    t.restart();
    volatile int sink = month(); // first after a change: includes the day index rebuild
    print("month_days_after_change_ms", n, msSince(t));
    t.restart();
    sink = month();
    print("month_days_ms", n, msSince(t));

    t.restart();
    double all = manager.revenueByPaymentDateIn(QDate::currentDate()) + manager.totalReceivedByCashMode()
        + manager.yearRevenueByCashMode() + manager.totalRevenueByCompletedMode()
        + manager.todayRevenueByCompletedMode() + manager.monthRevenueByCompletedMode()
        + manager.yearRevenueByCompletedMode() + manager.totalReceivedAll() + manager.totalPending()
        + manager.monthOrderCount();
    print("revenue_figures_ms", n, msSince(t));
    t.restart();
    all += manager.monthlyRevenueTrend(12).size();
    print("trend_12_months_ms", n, msSince(t));

    t.restart();
    const QString csv = manager.exportCSV(QDate::currentDate().addYears(-1), QDate::currentDate());
    print("csv_year_ms", n, msSince(t));
    (void)sink;
    (void)all;
    (void)csv;
}

// Export and import through the shared stores, as the settings screen does.
// The import must reach the disk in one write: every change signal sees the
// same file.
void runBackup(int n, const QString& dir)
{
    UserDefaults& defaults = UserDefaults::standard();
    PackageManager::shared(); // seeds its built-ins now, not inside the import
    OrderManager::shared().setOrders(makeOrders(n));
    OrderManager::shared().save();
    const QString file = dir + QStringLiteral("/bench.kvbak");

    QElapsedTimer t;
    t.start();
    const bool exported = BackupManager::shared().exportBackup(file, true, true, true, true);
    print("backup_export_ms", n, msSince(t));
    print("backup_file_kib", n, QFileInfo(file).size() / 1024.0);

    defaults.remove(OrderbookKeys::orders);
    OrderManager::shared().setOrders({});
    // Each write replaces the file, so a new inode marks a new write.
    QSet<quint64> filesSeen;
    QObject::connect(&defaults, &UserDefaults::changed, [&] {
        struct stat st {};
        if (::stat(QFile::encodeName(defaults.filePath()).constData(), &st) == 0)
            filesSeen.insert(st.st_ino);
    });
    t.restart();
    const BackupManager::ImportResult result = BackupManager::shared().importBackup(file);
    print("backup_import_ms", n, msSince(t));
    print("backup_import_defaults_writes", n, filesSeen.size());
    print("backup_restored_orders", n, OrderManager::shared().orders().size());
    if (!exported || !result.success)
        std::printf("backup failed: %s\n", qPrintable(result.message));
}

// The real iCalendar files in a temp folder. The 3,000 events no order holds
// read as named customers, so the first refresh imports them all; the second
// finds every event tied.
void runRefresh(int events, int tied, const QString& dir)
{
    IcsCalendarStore calendar(dir + QStringLiteral("/calendars"));
    UserNotificationCenter notifications(dir + QStringLiteral("/pending.json"), QDBusConnection(QStringLiteral("no-bus")));
    UserDefaults store(dir + QStringLiteral("/refresh-defaults.json"));
    OrderManager orders(store);
    CalendarSyncManager manager(calendar, notifications, store, orders);
    QCoreApplication::processEvents();
    manager.refreshEvents(); // makes the dedicated calendar
    QCoreApplication::processEvents();
    const QString calendarId = calendar.calendars().value(0).identifier;

    QList<Order> owners = makeOrders(tied);
    const QDateTime start = QDateTime::currentDateTime().addMonths(-5);
    for (int i = 0; i < events; ++i) {
        CalendarEvent e;
        e.calendarIdentifier = calendarId;
        e.startDate = start.addSecs(qint64(i) * 90 * 60);
        e.endDate = e.startDate.addSecs(3600);
        e.title = i < tied ? QStringLiteral("王女士 - 标准套系") : QStringLiteral("客人%1 儿童 300元").arg(i);
        e.notes = i < tied ? QStringLiteral("王女士-13800138000-定金300") : QStringLiteral("电话：13912345678\n地址：公园");
        calendar.saveEvent(e, false);
        if (i < tied)
            owners[i].calendarEventIdentifier = e.identifier;
    }
    calendar.commit();
    orders.setOrders(owners);
    orders.save();

    for (const char* name : {"refresh_importing_ms", "refresh_all_tied_ms"}) {
        QElapsedTimer t;
        t.start();
        manager.refreshEvents();
        QCoreApplication::processEvents(); // the queued publication and import
        print(name, events, msSince(t));
    }
    print("refresh_orders_after", events, orders.orders().size());
}

}

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    // Keep the user's own preference and data folders out of reach.
    qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8());
    QCoreApplication app(argc, argv);
    // "refresh" alone runs only the calendar figures, for a profiler.
    const bool onlyRefresh = app.arguments().contains(QStringLiteral("refresh"));
    if (!onlyRefresh) {
        for (int n : {1000, 10000, 50000})
            run(n, dir.path());
        runBackup(10000, dir.path());
    }
    runRefresh(5000, 2000, dir.path());
    return 0;
}
