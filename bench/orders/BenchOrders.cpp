// Times the order form at 10,000 stored orders: opening an edited order,
// and confirming a payment against the store's own update and save.
// Prints "name: value".

#include "orderbook/OrderManager.h"
#include "orderbook/PackageManager.h"
#include "orders/OrderFormView.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QElapsedTimer>
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

QList<Order> makeOrders(int n)
{
    QRandomGenerator rng(42);
    const QDateTime now = QDateTime::currentDateTime();
    QList<Order> list;
    list.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QDateTime shoot = now.addSecs(qint64(rng.bounded(365 * 86400)) - 180 * 86400);
        QList<PaymentRecord> paid{PaymentRecord(300, shoot.addDays(-30), "定金"),
                                  PaymentRecord(500, shoot.addDays(-10), "补款")};
        list.append(Order(QStringLiteral("客户%1").arg(i), "13800138000", "标准套系", shoot, shoot,
                          ShootTimeSlot::morning, 5000, 300, paid, "备注", OrderStatus::pendingShoot, false,
                          QString("提前1天"), "外滩", false));
    }
    return list;
}

}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    UserDefaults store(dir.path() + "/orders.json");
    OrderManager orders(store);
    PackageManager packages(store);
    orders.setOrders(makeOrders(10000));
    orders.save();
    const Order target = orders.orders()[7000];

    constexpr int rounds = 20;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i) {
        OrderFormView view(orders, packages, store, target, target.shootDate, [](const Order&) { return true; });
        view.show();
        app.processEvents();
    }
    print("open_edited_order_ms_10000", msSince(t) / rounds);

    // The store's own cost of one edit with its save, then a payment through the form.
    Order edited = target;
    double update = 0, confirm = 0;
    OrderFormView view(orders, packages, store, target, target.shootDate, [](const Order&) { return true; });
    view.show();
    for (int i = 0; i < rounds; ++i) {
        edited.note = QStringLiteral("备注 %1").arg(i);
        t.restart();
        orders.updateOrder(edited);
        update += msSince(t);
        view.model().setPaymentAmount("1");
        view.model().setPaymentNote("补款");
        t.restart();
        view.model().confirmPayment();
        app.processEvents();
        confirm += msSince(t);
        edited = orders.orders()[7000];
    }
    print("store_update_and_save_ms_10000", update / rounds);
    print("confirm_payment_ms_10000", confirm / rounds);
    return 0;
}
