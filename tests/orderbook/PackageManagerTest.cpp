#include "OrderbookFixture.h"

#include "orderbook/PackageManager.h"

#include <QSignalSpy>

#include <cmath>

namespace {

const QStringList kBuiltins{"标准套系", "高端定制", "婚礼跟拍", "亲子写真", "儿童写真", "家庭纪实", "周岁礼", "其他"};

class PackageManagerTest : public OrderbookFixture
{
protected:
    std::optional<QList<Package>> storedPackages() const
    {
        return OrderCodec::decodePackages(stored(OrderbookKeys::packages));
    }
};

TEST_F(PackageManagerTest, FirstRunSeedsTheEightBuiltinsAndSetsTheFlag)
{
    PackageManager manager(*store);
    EXPECT_EQ(manager.packageNames(), kBuiltins);
    for (const Package& p : manager.packages())
        EXPECT_TRUE(p.price == 0 && p.deposit == 300 && p.isBuiltin) << p.name.toStdString();
    EXPECT_EQ(storedPackages(), manager.packages());
    EXPECT_EQ(storedArray(OrderbookKeys::packages).first().toObject().keys(),
              (QStringList{"deposit", "id", "isBuiltin", "name", "price"}));
    EXPECT_TRUE(store->boolean(OrderbookKeys::packageDepositMigrated));
}

TEST_F(PackageManagerTest, DepositMigrationRunsOnce)
{
    Package user("自定义", 2999, 500, false);
    store->set(OrderbookKeys::packages, *OrderCodec::encodePackages({user}));
    {
        PackageManager manager(*store);
        ASSERT_EQ(manager.packages().size(), 1);
        EXPECT_EQ(manager.packages().first().deposit, 300);
        EXPECT_EQ(manager.packages().first().price, 2999);
        EXPECT_EQ(storedPackages()->first().deposit, 300);
        EXPECT_TRUE(store->boolean(OrderbookKeys::packageDepositMigrated));
        manager.updatePackage(user.id, 2999, 800);
    }
    PackageManager again(*store);
    EXPECT_EQ(again.packages().first().deposit, 800) << "flag set: loaded unchanged";
}

TEST_F(PackageManagerTest, UnreadableListFallsBackToBuiltinsAfterAQuarantineCopy)
{
    const QByteArray bytes = R"([{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"旧","price":1,"deposit":2}])";
    store->set(OrderbookKeys::packages, bytes);
    PackageManager manager(*store);
    EXPECT_EQ(manager.packageNames(), kBuiltins);
    EXPECT_EQ(storedPackages()->size(), 8);
    ASSERT_EQ(quarantined().size(), 1);
    EXPECT_TRUE(quarantined().first().startsWith("schedulePackages_"));
    EXPECT_EQ(quarantinedBytes(), QByteArrayList{bytes});
}

TEST_F(PackageManagerTest, UnreadableListStaysUntilItsCopyIsSafe)
{
    const QByteArray unreadable = "[{\"name\":\"旧套系\"}]";
    store->set(OrderbookKeys::packages, unreadable);
    blockQuarantine(true);
    PackageManager manager(*store);
    EXPECT_EQ(manager.packageNames(), kBuiltins);
    EXPECT_EQ(stored(OrderbookKeys::packages), unreadable);
    ASSERT_TRUE(manager.addPackage("新套系", 1000, 300));
    EXPECT_EQ(stored(OrderbookKeys::packages), unreadable) << "an edit must not replace it either";

    blockQuarantine(false);
    ASSERT_TRUE(manager.addPackage("再一个", 2000, 300));
    EXPECT_EQ(quarantinedBytes(), QByteArrayList{unreadable});
    EXPECT_EQ(storedPackages()->size(), 10);
    EXPECT_TRUE(store->boolean(OrderbookKeys::packageDepositMigrated));
}

TEST_F(PackageManagerTest, EditsAndMovesSaveAndBuiltinsCannotBeDeleted)
{
    PackageManager manager(*store);
    QSignalSpy spy(&manager, &PackageManager::packagesChanged);
    const QUuid standard = manager.packages().first().id;
    const QByteArray before = stored(OrderbookKeys::packages);
    EXPECT_FALSE(manager.deletePackage(standard));
    EXPECT_FALSE(manager.updatePackage(QUuid::createUuid(), 1, 1));
    EXPECT_FALSE(manager.updatePackage(standard, NAN, 1));
    EXPECT_FALSE(manager.addPackage("坏", 1, INFINITY));
    EXPECT_EQ(stored(OrderbookKeys::packages), before);
    EXPECT_EQ(spy.count(), 0);

    ASSERT_TRUE(manager.addPackage("标准套系", 1999, 200));
    const QUuid added = manager.packages().last().id;
    EXPECT_FALSE(manager.packages().last().isBuiltin);
    EXPECT_EQ(manager.getPackage("标准套系")->id, standard) << "the one nearer the front";
    EXPECT_FALSE(manager.getPackage("标准套系 "));
    EXPECT_TRUE(manager.updatePackageName(standard, ""));
    EXPECT_EQ(manager.packages().first().name, "");
    EXPECT_TRUE(manager.deletePackage(added));
    EXPECT_EQ(manager.packages().size(), 8);
    EXPECT_EQ(PackageManager(*store).packages(), manager.packages());

    // Moves use insertion positions from before the move.
    manager.updatePackageName(standard, "标准套系");
    manager.movePackage({2}, 4); // one down
    EXPECT_EQ(manager.packageNames().mid(1, 3), (QStringList{"高端定制", "亲子写真", "婚礼跟拍"}));
    manager.movePackage({2}, 1); // one up
    EXPECT_EQ(manager.packageNames().mid(0, 3), (QStringList{"标准套系", "亲子写真", "高端定制"}));
    manager.movePackage({0, 7}, 8); // several to the end
    EXPECT_EQ(manager.packageNames().mid(6), (QStringList{"标准套系", "其他"}));
    EXPECT_EQ(storedPackages()->last().name, "其他");
}

}
