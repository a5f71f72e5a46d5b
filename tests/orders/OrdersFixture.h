#pragma once

#include "../orderbook/OrderbookFixture.h"

#include "orderbook/OrderManager.h"
#include "orderbook/PackageManager.h"
#include "platform/CalendarStore.h"
#include "InMemoryCalendarStore.h"
#include "LayoutCheck.h"
#include "UserInput.h"

#include <QApplication>
#include <QDir>
#include <QScrollArea>
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

    // One in-memory calendar for the whole binary: installing another frees the one before.
    static void grantCalendar()
    {
        static CalendarStore* calendar = CalendarStore::installShared(std::make_unique<InMemoryCalendarStore>());
        calendar->setAuthorizationStatus(CalendarAuthorizationStatus::FullAccess);
    }
    static PaymentRecord pay(double amount, const QDateTime& when) { return PaymentRecord(amount, when, ""); }
    // 王女士's order five days ahead with a 300 deposit, already in the store.
    Order storedOrder(double total, const QList<PaymentRecord>& payments, OrderStatus status)
    {
        Order o = order("王女士", QDateTime(QDate::currentDate().addDays(5), QTime(10, 0)), total, payments, status);
        o.depositAmount = 300;
        EXPECT_TRUE(orders->addOrder(o));
        return o;
    }

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
    // Empties a field as a user does: select all, delete.
    static void clearField(QWidget* field)
    {
        UserInput::click(field);
        UserInput::key(field, Qt::Key_A, Qt::ControlModifier);
        UserInput::key(field, Qt::Key_Delete);
    }
    static void retype(QWidget* field, const QString& text)
    {
        clearField(field);
        if (!text.isEmpty())
            UserInput::type(field, text);
    }

    // Clicks a grid of points all over `field`: edges, corners, the arrow,
    // the digits and the gaps between them. A popup a click opens is closed
    // again without a pick.
    static void clickAllOver(QWidget* field)
    {
        QList<int> xs, ys;
        for (int x = 0; x < field->width(); x += 3)
            xs.append(x);
        for (int y = 0; y < field->height(); y += 2)
            ys.append(y);
        xs.append(field->width() - 1);
        ys.append(field->height() - 1);
        for (const int y : ys) {
            for (const int x : xs) {
                UserInput::click(field, Qt::LeftButton, QPoint(x, y));
                if (QWidget* popup = QApplication::activePopupWidget())
                    popup->close();
            }
        }
    }
    // Opens the calendar popup of a day field at its arrow and picks the day
    // after the shown one with the keyboard. Returns the popup's calendar.
    static QWidget* pickNextDayInPopup(QWidget* field)
    {
        UserInput::click(field, Qt::LeftButton, QPoint(field->width() - 6, field->height() / 2));
        QWidget* popup = QApplication::activePopupWidget();
        EXPECT_TRUE(popup) << "the arrow opens the calendar";
        if (!popup)
            return nullptr;
        QWidget* calendar = popup->findChild<QWidget*>("dateFieldCalendar");
        UserInput::key(popup, Qt::Key_Right);
        UserInput::key(popup, Qt::Key_Return);
        return calendar;
    }

    // Scrolls `w` into sight as a user would before reaching it.
    static QWidget* reveal(QWidget* w)
    {
        QApplication::processEvents();
        for (QWidget* p = w ? w->parentWidget() : nullptr; p; p = p->parentWidget()) {
            if (auto* scroll = qobject_cast<QScrollArea*>(p)) {
                scroll->ensureWidgetVisible(w);
                QApplication::processEvents();
                break;
            }
        }
        return w;
    }
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
