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
#include <QDBusConnection>
#include <QLabel>
#include <QTest>

// One start of the app over a calendar store: the orders read afresh from
// the preferences under `root`, the calendar sync, and the schedule screen
// shown with its first refresh done. Ending it is quitting the app.
struct ScheduleSession {
    ScheduleSession(CalendarStore& calendar, const QString& root)
        : defaults(root + "/defaults.json")
        , orders(defaults)
        , notifications(root + "/pending.json", QDBusConnection(QStringLiteral("no-bus")))
        , sync(calendar, notifications, defaults, orders)
        , view(orders, sync, defaults)
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

    UserDefaults defaults;
    OrderManager orders;
    UserNotificationCenter notifications;
    CalendarSyncManager sync;
    ScheduleIncomeView view;
};
