#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <memory>

TEST(NotificationCenterTest, DeliversByNameWithTheObject)
{
    NotificationCenter center;
    QObject owner;
    QVariantList got;
    center.addObserver(&owner, "NavigateToMenu", [&](const QVariant& o) { got << o; });
    center.post("NavigateToMenu", QString("档期收入"));
    center.post("Other", 1);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got.first().toString(), "档期收入");
}

TEST(NotificationCenterTest, AnOwnerThatGoesAwayTakesItsObserversWithIt)
{
    NotificationCenter center;
    int calls = 0;
    auto owner = std::make_unique<QObject>();
    center.addObserver(owner.get(), "X", [&](const QVariant&) { ++calls; });
    center.addObserver(owner.get(), "Y", [&](const QVariant&) { ++calls; });
    owner.reset();
    center.post("X");
    center.post("Y");
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(center.observerCount("X"), 0);
}

TEST(NotificationCenterTest, HandlersMayPostAndRemoveWhileDelivering)
{
    NotificationCenter center;
    QObject owner;
    QStringList order;
    int token = 0;
    token = center.addObserver(&owner, "A", [&](const QVariant&) {
        order << "A";
        center.removeObserver(token);
        center.post("B");
    });
    center.addObserver(&owner, "B", [&](const QVariant&) { order << "B"; });
    center.post("A");
    center.post("A");
    EXPECT_EQ(order, (QStringList{"A", "B"}));
}
