#include "TestIsolation.h"
#include "orderbook/LocalCalendar.h"
#include "orderbook/OrderManager.h"
#include "orderbook/PackageManager.h"

namespace {
// The shared stores reread the emptied preference store as on first use.
const bool registered = TestIsolation::addReset([] {
    LocalCalendar::resetCache();
    OrderManager::shared().setOrders({});
    OrderManager::shared().setRestDays({});
    PackageManager::shared().loadPackages();
});
}
