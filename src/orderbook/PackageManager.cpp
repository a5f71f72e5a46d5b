#include "PackageManager.h"

#include "orderbook/OrderbookKeys.h"
#include "orderbook/OrderCodec.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

bool finiteAmounts(double price, double deposit)
{
    if (std::isfinite(price) && std::isfinite(deposit))
        return true;
    Log::line(QStringLiteral("⚠️ [套系] 价格或定金不是有限数，未保存"));
    return false;
}

}

PackageManager& PackageManager::shared()
{
    static PackageManager* instance = new PackageManager(UserDefaults::standard());
    return *instance;
}

PackageManager::PackageManager(UserDefaults& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_stored(store, OrderbookKeys::packages)
    , m_defaultPackages(makeDefaultPackages())
{
    loadPackages();
}

QList<Package> PackageManager::makeDefaultPackages()
{
    QList<Package> list;
    for (const char* name : {"标准套系", "高端定制", "婚礼跟拍", "亲子写真", "儿童写真", "家庭纪实", "周岁礼", "其他"})
        list.append(Package(QString::fromUtf8(name), 0, 300, true));
    return list;
}

void PackageManager::setPackages(QList<Package> packages)
{
    m_packages = std::move(packages);
    Q_EMIT packagesChanged();
}

void PackageManager::loadPackages()
{
    const std::optional<QByteArray> bytes = m_stored.read();
    std::optional<QList<Package>> decoded;
    if (bytes)
        decoded = OrderCodec::decodePackages(*bytes);
    if (!decoded) {
        // The save below copies unreadable bytes aside before replacing them.
        if (bytes)
            m_stored.markUnreadable(*bytes);
        setPackages(m_defaultPackages);
        savePackages();
        // Set even when the save is held back: the list that will be stored
        // holds the built-ins' deposits already.
        m_store.set(OrderbookKeys::packageDepositMigrated, true);
        return;
    }
    m_stored.markReadable(*bytes);
    setPackages(std::move(*decoded));
    if (m_store.value(OrderbookKeys::packageDepositMigrated))
        return;
    for (Package& p : m_packages)
        p.deposit = 300;
    Q_EMIT packagesChanged();
    if (savePackages())
        m_store.set(OrderbookKeys::packageDepositMigrated, true);
}

bool PackageManager::savePackages()
{
    const auto bytes = OrderCodec::encodePackages(m_packages);
    if (!bytes) {
        Log::line(QStringLiteral("⚠️ [套系] 套系列表含有不是有限数的金额，未保存"));
        return false;
    }
    return m_stored.write(*bytes);
}

QStringList PackageManager::packageNames() const
{
    QStringList names;
    names.reserve(m_packages.size());
    for (const Package& p : m_packages)
        names.append(p.name);
    return names;
}

std::optional<Package> PackageManager::getPackage(const QString& name) const
{
    for (const Package& p : m_packages) {
        if (p.name == name)
            return p;
    }
    return std::nullopt;
}

void PackageManager::movePackage(const QList<int>& from, int to)
{
    const int n = int(m_packages.size());
    std::set<int> positions;
    for (int i : from) {
        if (i >= 0 && i < n)
            positions.insert(i);
    }
    if (positions.empty())
        return;
    to = std::clamp(to, 0, n);
    QList<Package> moved;
    QList<Package> rest;
    int before = 0; // moved packages that sat before the destination
    for (int i = 0; i < n; ++i) {
        if (positions.count(i)) {
            moved.append(m_packages[i]);
            if (i < to)
                ++before;
        } else {
            rest.append(m_packages[i]);
        }
    }
    const int insertAt = to - before;
    QList<Package> result = rest.mid(0, insertAt);
    result.append(moved);
    result.append(rest.mid(insertAt));
    setPackages(std::move(result));
    savePackages();
}

int PackageManager::indexOf(const QUuid& id) const
{
    for (int i = 0; i < m_packages.size(); ++i) {
        if (m_packages[i].id == id)
            return i;
    }
    return -1;
}

bool PackageManager::updatePackage(const QUuid& id, double price, double deposit)
{
    const int i = indexOf(id);
    if (i < 0 || !finiteAmounts(price, deposit))
        return false;
    m_packages[i].price = price;
    m_packages[i].deposit = deposit;
    Q_EMIT packagesChanged();
    savePackages();
    return true;
}

bool PackageManager::updatePackageName(const QUuid& id, const QString& name)
{
    const int i = indexOf(id);
    if (i < 0)
        return false;
    m_packages[i].name = name;
    Q_EMIT packagesChanged();
    savePackages();
    return true;
}

bool PackageManager::addPackage(const QString& name, double price, double deposit)
{
    if (!finiteAmounts(price, deposit))
        return false;
    m_packages.append(Package(name, price, deposit, false));
    Q_EMIT packagesChanged();
    savePackages();
    return true;
}

bool PackageManager::deletePackage(const QUuid& id)
{
    const int i = indexOf(id);
    if (i < 0 || m_packages[i].isBuiltin)
        return false;
    m_packages.removeAt(i);
    Q_EMIT packagesChanged();
    savePackages();
    return true;
}
