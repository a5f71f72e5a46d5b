#pragma once

#include "orderbook/Order.h"
#include "orderbook/ShootEvent.h"
#include "schedule/CalendarMark.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

class OrderManager;
class UserDefaults;

// Everything one day cell shows, worked out from the order book and the
// calendar events of that day.
struct DayFigures
{
    QDate date;
    int dayNumber = 0;
    QString lunarLabel;
    bool isToday = false;
    bool isPast = false;
    bool isRestDay = false;
    bool isFull = false;
    QList<Order> orders;                 // shot that day, in store order
    QList<ShootEvent> unimportedEvents;  // starting that day, held by no order
    int itemCount = 0;
    double revenue = 0;
    CalendarMark mark = CalendarMark::none;
    bool isDimmed = false;               // full and not a rest day
};

// The month calendar's state: the displayed month, the week start bound to
// its preference, and the figures of each day. Days are local calendar days;
// orders count by their shoot day, events by the local day of their start.
// `changed` fires at most once per event-loop turn, after anything a day
// cell or the grid shows may have changed.
class ScheduleCalendarModel : public QObject
{
    Q_OBJECT
public:
    // Over the shared order book and preference store.
    explicit ScheduleCalendarModel(QObject* parent = nullptr);
    ScheduleCalendarModel(OrderManager& orders, UserDefaults& prefs, QObject* parent = nullptr);

    OrderManager& orderManager() const { return m_orders; }

    // Any day of the displayed month; at first today.
    QDate currentMonth() const { return m_currentMonth; }
    // Ignores an invalid date.
    void setCurrentMonth(const QDate& day);
    void previousMonth() { setCurrentMonth(m_currentMonth.addMonths(-1)); }
    void nextMonth() { setCurrentMonth(m_currentMonth.addMonths(1)); }
    void previousYear() { setCurrentMonth(m_currentMonth.addYears(-1)); }
    void nextYear() { setCurrentMonth(m_currentMonth.addYears(1)); }
    void showToday() { setCurrentMonth(QDate::currentDate()); }
    // Keep the other field; the day is clamped to the target month's length.
    void setYear(int year);
    void setMonth(int month);

    // The preference, true while it was never written.
    bool weekStartsOnMonday() const;
    // "2026年 3月".
    QString monthTitle() const;
    bool isTodayMonth() const;
    // Seven labels in column order ("一" ... "日" or "日" ... "六").
    QStringList weekdayLabels() const;
    // Leading empty slots (null dates) to put the 1st under its weekday,
    // then every day of the month; no trailing slots.
    QList<QDate> daysInMonth() const;

    // The events of the dedicated calendar, as the calendar sync last read them.
    void setShootEvents(const QList<ShootEvent>& events);
    const QList<ShootEvent>& shootEvents() const { return m_events; }
    // Whether some order keeps `identifier` as its calendar event.
    bool isEventHeldByOrder(const QString& identifier) const;
    // Events starting on `day` that no order holds, in list order.
    QList<ShootEvent> unimportedEvents(const QDate& day) const;

    DayFigures dayFigures(const QDate& day) const;

Q_SIGNALS:
    void changed();

private:
    void requestChanged();
    void armMidnightTimer();
    void midnightPassed();
    const QSet<QString>& heldEventIds() const;

    OrderManager& m_orders;
    UserDefaults& m_prefs;
    QDate m_currentMonth;
    QDate m_today;
    QList<ShootEvent> m_events;
    QHash<QDate, QList<int>> m_eventsByDay;
    mutable QSet<QString> m_heldEventIds;
    mutable bool m_heldEventIdsValid = false;
    QTimer m_changeTimer;
    QTimer m_midnightTimer;
};
