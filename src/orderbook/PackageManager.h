#pragma once

#include "orderbook/Package.h"
#include "orderbook/StoredList.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUuid>

#include <optional>

class UserDefaults;

// The ordered list of packages, seeded with eight built-ins, stored as JSON
// bytes under "schedulePackages". Main thread only.
class PackageManager : public QObject
{
    Q_OBJECT
public:
    // Made on first use over UserDefaults::standard(), kept for the process.
    static PackageManager& shared();

    // A store over `store`; loads at once. Screens use shared().
    explicit PackageManager(UserDefaults& store, QObject* parent = nullptr);

    const QList<Package>& packages() const { return m_packages; }
    // The eight built-ins of this construction (fresh ids each time).
    const QList<Package>& defaultPackages() const { return m_defaultPackages; }

    // Reads the stored list (the built-ins when absent or unreadable, the
    // unreadable bytes copied to the quarantine folder first), then runs the
    // one-time deposit migration. The backup import calls this too.
    void loadPackages();
    // Writes the list; a list with an amount that is not finite is not
    // written, nor one that would replace unreadable bytes not yet copied aside.
    // True when the list is stored.
    bool savePackages();

    QStringList packageNames() const;
    // The first package with exactly this name.
    std::optional<Package> getPackage(const QString& name) const;
    // Moves the packages at `from` (positions before the move) so they land
    // before the package that was at `to`; `to` may be the list size.
    void movePackage(const QList<int>& from, int to);
    // These act on the first package with the id and save; false when none
    // matched or an amount is not finite (nothing changes then).
    bool updatePackage(const QUuid& id, double price, double deposit);
    bool updatePackageName(const QUuid& id, const QString& name);
    bool addPackage(const QString& name, double price, double deposit);
    // Built-in packages are never deleted.
    bool deletePackage(const QUuid& id);

Q_SIGNALS:
    void packagesChanged();

private:
    static QList<Package> makeDefaultPackages();
    int indexOf(const QUuid& id) const;
    void setPackages(QList<Package> packages);

    UserDefaults& m_store;
    StoredList m_stored;
    QList<Package> m_packages;
    QList<Package> m_defaultPackages;
};
