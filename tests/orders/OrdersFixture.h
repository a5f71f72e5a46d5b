#pragma once

#include "../orderbook/OrderbookFixture.h"

#include "orderbook/OrderManager.h"
#include "orderbook/PackageManager.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <QWidget>

// Real order and package stores over the test's own preference file.
class OrdersFixture : public OrderbookFixture
{
protected:
    void SetUp() override
    {
        OrderbookFixture::SetUp();
        orders = std::make_unique<OrderManager>(*store);
        packages = std::make_unique<PackageManager>(*store);
    }

    static PaymentRecord pay(double amount, const QDateTime& when) { return PaymentRecord(amount, when, ""); }

    template <typename T = QWidget>
    static T* child(const QObject* root, const QString& name)
    {
        T* w = root->findChild<T*>(name);
        EXPECT_TRUE(w) << name.toStdString();
        return w;
    }
    // The top-level window-modal sheet with this object name, once shown.
    template <typename T = QWidget>
    static T* openSheet(const QString& name)
    {
        QApplication::processEvents();
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == name && w->isVisible())
                return qobject_cast<T*>(w);
        }
        return nullptr;
    }
    static void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

    static QString shotPath(const QString& name)
    {
        QDir build(QCoreApplication::applicationDirPath());
        build.cd("../..");
        QDir().mkpath(build.absolutePath() + "/screenshots");
        return build.absolutePath() + "/screenshots/" + name + ".png";
    }
    static void saveShot(QWidget* w, const QString& name)
    {
        QApplication::processEvents();
        ASSERT_TRUE(w->grab().toImage().save(shotPath(name)));
    }

    std::unique_ptr<OrderManager> orders;
    std::unique_ptr<PackageManager> packages;
};
