// Times the income statistics: a recompute after a search change at 10,000
// orders against the store's own routines, chart paints, and the CSV export
// of 50,000 orders against encoding the same orders. Prints "name: value".

#include "orderbook/OrderCodec.h"
#include "orderbook/OrderManager.h"
#include "orders/CsvExportFile.h"
#include "orders/RevenueTrendChart.h"
#include "orders/StatsEngine.h"
#include "orders/StatsView.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

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

// Orders over the last two years with three payments each on average.
QList<Order> makeOrders(int n, int payments)
{
    QRandomGenerator rng(42);
    const QDateTime now = QDateTime::currentDateTime();
    QList<Order> list;
    list.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QDateTime shoot = now.addSecs(-qint64(rng.bounded(730 * 86400)));
        QList<PaymentRecord> paid;
        double sum = 0;
        for (int p = 0; p < payments; ++p) {
            const double amount = rng.bounded(200000) / 100.0;
            sum += amount;
            paid.append(PaymentRecord(amount, shoot.addDays(-rng.bounded(60)), "定金"));
        }
        Order o(QStringLiteral("客户%1").arg(i), "13800138000", i % 2 ? "标准套系" : "婚纱套系", shoot, shoot,
                ShootTimeSlot::morning, i % 2 ? sum : sum + 500, 300, paid, "备注", 
                i % 2 ? OrderStatus::completed : OrderStatus::pendingShoot, false, QString("提前1天"), "外滩", false);
        list.append(o);
    }
    return list;
}

qint64 procKb(const char* field)
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

void benchFigures(const QString& dir)
{
    UserDefaults store(dir + "/stats.json");
    OrderManager manager(store);
    manager.setOrders(makeOrders(10000, 3));
    StatsEngine engine(manager);
    constexpr int rounds = 50;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i)
        engine.setSearchText(i % 2 ? "138" : "1380"); // both match every order
    print("recompute_after_search_ms_10000", msSince(t) / rounds);
    t.restart();
    double sink = 0;
    for (int i = 0; i < rounds; ++i) {
        const QDate today = QDate::currentDate();
        sink += manager.revenueByPaymentDateFor(today) + manager.revenueByPaymentDateIn(today)
            + manager.yearRevenueByCashMode() + manager.totalReceivedByCashMode()
            + manager.todayRevenueByCompletedMode() + manager.monthRevenueByCompletedMode()
            + manager.yearRevenueByCompletedMode() + manager.totalRevenueByCompletedMode()
            + manager.totalReceivedAll() + manager.totalPending() + manager.monthOrderCount()
            + manager.monthlyRevenueTrend(12).size();
    }
    print("store_routines_and_trend_ms_10000", msSince(t) / rounds);
    StatsView view(manager, "138");
    const int before = view.engine().recomputeCount();
    view.setStatsMode(1);
    view.setStatsMode(0);
    print("mode_switch_recomputes", view.engine().recomputeCount() - before);
    if (sink < 0)
        std::printf("#\n");
}

void benchChart()
{
    RevenueTrendChart chart;
    QList<TrendPoint> rows;
    for (int m = 1; m <= 12; ++m)
        rows.append({QString::number(m) + "月", qint64(m) * 123456, qint64(m) * 65432});
    chart.setData(rows, 0);
    QImage image(QSize(1100, 140) * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    constexpr int paints = 1000;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < paints; ++i) {
        image.fill(Qt::transparent);
        QPainter p(&image);
        chart.paintChart(p, QSizeF(1100, 140));
    }
    print("chart_paint_mean_ms", msSince(t) / paints);
}

void benchCsv(const QString& dir)
{
    UserDefaults store(dir + "/csv.json");
    OrderManager manager(store);
    const QList<Order> list = makeOrders(50000, 1);
    manager.setOrders(list);
    QElapsedTimer t;
    t.start();
    const auto encoded = OrderCodec::encodeOrders(list);
    print("encode_orders_ms_50000", msSince(t));
    const qint64 rssBefore = procKb("VmRSS:");
    QFile clear("/proc/self/clear_refs");
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5"); // resets the peak to the current size
    clear.close();
    t.restart();
    const QDate from = QDate::currentDate().addYears(-3);
    const QString text = manager.exportCSV(from, QDate::currentDate());
    print("csv_text_ms_50000", msSince(t));
    QString error;
    const bool ok = CsvExportFile::write(dir + "/out.csv", text, &error);
    print("csv_text_and_write_ms_50000", msSince(t));
    const qint64 fileKb = QFile(dir + "/out.csv").size() / 1024;
    print("csv_file_kb", double(fileKb));
    print("csv_peak_growth_kb", double(procKb("VmHWM:") - rssBefore));
    if (!ok || !encoded)
        std::printf("csv write failed: %s\n", qPrintable(error));
}

}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    benchFigures(dir.path());
    benchChart();
    benchCsv(dir.path());
    return 0;
}
