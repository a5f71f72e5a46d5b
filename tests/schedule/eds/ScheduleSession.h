#pragma once

#include "orderbook/CalendarSyncManager.h"
#include "orderbook/OrderManager.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"
#include "schedule/CalendarSyncStatusBar.h"
#include "schedule/CalendarViewBody.h"
#include "schedule/MonthGridView.h"
#include "schedule/ScheduleCalendarModel.h"
#include "schedule/ScheduleIncomeView.h"

#include <QCoreApplication>
#include <QFile>
#include <QDBusConnection>
#include <QLabel>
#include <QTest>

#include <cstdio>
#include <memory>

// One start of the app over a calendar store: the orders read afresh from
// the preferences under `root`, the calendar sync, and the schedule screen
// shown with its first refresh done. Ending it is quitting the app.
struct ScheduleSession {
    ScheduleSession(CalendarStore& calendar, const QString& root)
        : ownDefaults(std::make_unique<UserDefaults>(root + "/defaults.json"))
        , ownOrders(std::make_unique<OrderManager>(*ownDefaults))
        , defaults(*ownDefaults)
        , orders(*ownOrders)
        , notifications(root + "/pending.json", QDBusConnection(QStringLiteral("no-bus")))
        , sync(calendar, notifications, defaults, orders)
        , view(orders, sync, defaults)
    {
        open();
    }
    // Over the app's own preference and order stores, which the backup
    // exports and restores.
    ScheduleSession(CalendarStore& calendar, UserDefaults& appDefaults, OrderManager& appOrders, const QString& root)
        : defaults(appDefaults)
        , orders(appOrders)
        , notifications(root + "/pending.json", QDBusConnection(QStringLiteral("no-bus")))
        , sync(calendar, notifications, defaults, orders)
        , view(orders, sync, defaults)
    {
        open();
    }

    void open()
    {
        view.resize(1100, 800);
        view.show();
        settle();
    }
    // Lets queued refreshes, imports and the service's reports run.
    static void settle(int ms = 100) { QTest::qWait(ms); }

    QString banner() const { return view.findChild<QLabel*>(QStringLiteral("syncStatusMessage"))->text(); }
    CalendarSyncStatusBar::State bannerState() const
    {
        return view.calendarView()->syncStatusBar()->state();
    }
    // What the month grid draws for `day` (the day must be in the shown month).
    DayFigures cell(const QDate& day) const
    {
        for (const DayFigures& f : view.calendarView()->grid()->figures())
            if (f.date == day)
                return f;
        ADD_FAILURE() << "day not shown: " << day.toString().toStdString();
        return {};
    }
    // A booking for `day` at 15:00 with a paid deposit, asking for the calendar.
    static Order booking(const QString& name, const QDate& day, double deposit)
    {
        const QDateTime shoot(day, QTime(15, 0));
        QList<PaymentRecord> paid;
        if (deposit > 0)
            paid.append(PaymentRecord(deposit, QDateTime::currentDateTime(), QStringLiteral("定金")));
        return Order(name, "", "标准套系", shoot, shoot, ShootTimeSlot::afternoon, 2000, deposit, paid, "",
                     OrderStatus::pendingShoot, true, QStringLiteral("提前1天"), "", false);
    }

    std::unique_ptr<UserDefaults> ownDefaults;
    std::unique_ptr<OrderManager> ownOrders;
    UserDefaults& defaults;
    OrderManager& orders;
    UserNotificationCenter notifications;
    CalendarSyncManager sync;
    ScheduleIncomeView view;
};

// A test's second app process and the test that runs it: lines on its
// standard output say where it is, a line on its standard input asks.
struct ParentPipe {
    ParentPipe() { in.open(stdin, QIODevice::ReadOnly); }
    static void say(const char* word)
    {
        std::fputs(word, stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    QStringList ask() { return QString::fromUtf8(in.readLine()).trimmed().split(' '); }
    QFile in;
};
