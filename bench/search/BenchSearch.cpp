// Times one typed character in the global search field with 10,000 orders
// and 200 packages in the stores (goal: results updated in under 5 ms), and
// the index rebuild a store change costs. Prints "name: value" lines.

#include "app/GlobalSearchManager.h"
#include "app/MenuCatalog.h"
#include "app/TopBarView.h"
#include "orderbook/OrderManager.h"
#include "orderbook/PackageManager.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    QApplication app(argc, argv);

    QList<Order> orders;
    orders.reserve(10000);
    for (int i = 0; i < 10000; ++i) {
        Order o = Order::blank();
        o.customerName = QStringLiteral("客户%1").arg(i);
        o.phone = QStringLiteral("138%1").arg(i, 8, 10, QLatin1Char('0'));
        o.shootDate = QDateTime(QDate(2026, 1, 1).addDays(i % 365), QTime(0, 0));
        o.shootTime = QDateTime(o.shootDate.date(), QTime(14, 0));
        orders << o;
    }
    OrderManager::shared().setOrders(orders);
    for (int i = 0; i < 200; ++i)
        PackageManager::shared().addPackage(QStringLiteral("套系%1").arg(i), 100 + i, 50);

    GlobalSearchManager manager;
    TopBarView bar(&manager);
    bar.resize(1100, TopBarView::kHeight);
    bar.show();

    const QString query = QStringLiteral("客户1套系设置");
    std::vector<double> keystrokes;
    for (int round = 0; round < 20; ++round) {
        for (int len = 1; len <= query.size(); ++len) {
            QElapsedTimer t;
            t.start();
            manager.setSearchText(query.left(len));
            keystrokes.push_back(t.nsecsElapsed() / 1e6);
        }
        manager.setSearchText(QString());
    }
    std::sort(keystrokes.begin(), keystrokes.end());
    std::printf("search_keystroke_median_ms: %.3f\n", keystrokes[keystrokes.size() / 2]);
    std::printf("search_keystroke_max_ms: %.3f\n", keystrokes.back());

    QElapsedTimer t;
    t.start();
    const auto index = GlobalSearchManager::buildSearchIndex(MenuCatalog::searchMenu(), OrderManager::shared().orders(),
                                                             PackageManager::shared().packages());
    std::printf("search_index_rebuild_ms: %.3f (items %lld)\n", t.nsecsElapsed() / 1e6, qlonglong(index.size()));
    return 0;
}
