#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <memory>

TEST(NotificationCenterTest, DeliversByNameWithTheObjectWhileTheOwnerLives)
{
    NotificationCenter center;
    auto owner = std::make_unique<QObject>();
    QVariantList got;
    center.addObserver(owner.get(), "NavigateToMenu", [&](const QVariant& o) { got << o; });
    center.addObserver(owner.get(), "Y", [&](const QVariant& o) { got << o; });
    center.post("NavigateToMenu", QString("档期收入"));
    center.post("Other", 1);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got.first().toString(), "档期收入");

    // An owner that goes away takes all its observers with it.
    owner.reset();
    center.post("NavigateToMenu");
    center.post("Y");
    EXPECT_EQ(got.size(), 1);
    EXPECT_EQ(center.observerCount("NavigateToMenu"), 0);
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
