#include "ScheduleCalendarModel.h"

#include "orderbook/LocalCalendar.h"
#include "orderbook/OrderManager.h"
#include "orderbook/OrderbookKeys.h"
#include "platform/UserDefaults.h"
#include "schedule/LunarCalendar.h"
#include "schedule/ScheduleKeys.h"

#include <QDateTime>

ScheduleCalendarModel::ScheduleCalendarModel(QObject* parent)
    : ScheduleCalendarModel(OrderManager::shared(), UserDefaults::standard(), parent)
{
}

ScheduleCalendarModel::ScheduleCalendarModel(OrderManager& orders, UserDefaults& prefs, QObject* parent)
    : QObject(parent)
    , m_orders(orders)
    , m_prefs(prefs)
    , m_currentMonth(QDate::currentDate())
    , m_today(QDate::currentDate())
{
    m_changeTimer.setSingleShot(true);
    m_changeTimer.setInterval(0);
    connect(&m_changeTimer, &QTimer::timeout, this, &ScheduleCalendarModel::changed);

    // Parented so a test can find it; a member, so it goes with the model.
    m_midnightTimer.setParent(this);
    m_midnightTimer.setObjectName(QStringLiteral("midnightTimer"));
    m_midnightTimer.setSingleShot(true);
    m_midnightTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_midnightTimer, &QTimer::timeout, this, &ScheduleCalendarModel::midnightPassed);
    armMidnightTimer();

    connect(&m_orders, &OrderManager::ordersChanged, this, [this] {
        m_heldEventIdsValid = false;
        requestChanged();
    });
    connect(&m_orders, &OrderManager::restDaysChanged, this, &ScheduleCalendarModel::requestChanged);
    connect(&m_prefs, &UserDefaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(ScheduleKeys::weekStartsOnMonday.name) || key == QLatin1String(OrderbookKeys::maxOrdersPerDay.name))
            requestChanged();
    });
}

void ScheduleCalendarModel::requestChanged()
{
    if (!m_changeTimer.isActive())
        m_changeTimer.start();
}

void ScheduleCalendarModel::armMidnightTimer()
{
    // A little past midnight, so the timer never wakes a moment early.
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 ms = now.msecsTo(now.date().addDays(1).startOfDay()) + 200;
    m_midnightTimer.start(int(std::clamp<qint64>(ms, 1000, 24LL * 3600 * 1000)));
}

void ScheduleCalendarModel::midnightPassed()
{
    const QDate today = QDate::currentDate();
    if (today != m_today) {
        m_today = today;
        requestChanged();
    }
    armMidnightTimer();
}

void ScheduleCalendarModel::setCurrentMonth(const QDate& day)
{
    if (!day.isValid() || day == m_currentMonth)
        return;
    m_currentMonth = day;
    requestChanged();
}

void ScheduleCalendarModel::setYear(int year)
{
    const QDate first(year, m_currentMonth.month(), 1);
    if (first.isValid())
        setCurrentMonth(QDate(year, first.month(), std::min(m_currentMonth.day(), first.daysInMonth())));
}

void ScheduleCalendarModel::setMonth(int month)
{
    const QDate first(m_currentMonth.year(), month, 1);
    if (first.isValid())
        setCurrentMonth(QDate(first.year(), month, std::min(m_currentMonth.day(), first.daysInMonth())));
}

bool ScheduleCalendarModel::weekStartsOnMonday() const
{
    return m_prefs.value(ScheduleKeys::weekStartsOnMonday);
}

QString ScheduleCalendarModel::monthTitle() const
{
    return QStringLiteral("%1年 %2月").arg(m_currentMonth.year(), 4, 10, QLatin1Char('0')).arg(m_currentMonth.month());
}

bool ScheduleCalendarModel::isTodayMonth() const
{
    const QDate today = QDate::currentDate();
    return today.year() == m_currentMonth.year() && today.month() == m_currentMonth.month();
}

QStringList ScheduleCalendarModel::weekdayLabels() const
{
    if (weekStartsOnMonday())
        return {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"), QStringLiteral("四"),
                QStringLiteral("五"), QStringLiteral("六"), QStringLiteral("日")};
    return {QStringLiteral("日"), QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"),
            QStringLiteral("四"), QStringLiteral("五"), QStringLiteral("六")};
}

QList<QDate> ScheduleCalendarModel::daysInMonth() const
{
    const QDate first(m_currentMonth.year(), m_currentMonth.month(), 1);
    if (!first.isValid())
        return {};
    const int weekday = first.dayOfWeek(); // 1 Monday ... 7 Sunday
    const int leading = weekStartsOnMonday() ? weekday - 1 : weekday % 7;
    QList<QDate> cells(leading);
    cells.reserve(leading + first.daysInMonth());
    for (int d = 0; d < first.daysInMonth(); ++d)
        cells.append(first.addDays(d));
    return cells;
}

void ScheduleCalendarModel::setShootEvents(const QList<ShootEvent>& events)
{
    m_events = events;
    m_eventsByDay.clear();
    for (int i = 0; i < m_events.size(); ++i)
        m_eventsByDay[LocalCalendar::dayOf(m_events[i].startDate)].append(i);
    requestChanged();
}

const QSet<QString>& ScheduleCalendarModel::heldEventIds() const
{
    if (!m_heldEventIdsValid) {
        m_heldEventIds.clear();
        for (const Order& o : m_orders.orders()) {
            if (o.calendarEventIdentifier)
                m_heldEventIds.insert(*o.calendarEventIdentifier);
        }
        m_heldEventIdsValid = true;
    }
    return m_heldEventIds;
}

bool ScheduleCalendarModel::isEventHeldByOrder(const QString& identifier) const
{
    return heldEventIds().contains(identifier);
}

QList<ShootEvent> ScheduleCalendarModel::unimportedEvents(const QDate& day) const
{
    QList<ShootEvent> out;
    const auto it = m_eventsByDay.constFind(day);
    if (it == m_eventsByDay.constEnd())
        return out;
    const QSet<QString>& held = heldEventIds();
    for (int i : *it) {
        if (!held.contains(m_events[i].id))
            out.append(m_events[i]);
    }
    return out;
}

DayFigures ScheduleCalendarModel::dayFigures(const QDate& day) const
{
    DayFigures f;
    if (!day.isValid())
        return f;
    const QDate today = QDate::currentDate();
    f.date = day;
    f.dayNumber = day.day();
    f.lunarLabel = LunarCalendar::lunarString(day);
    f.isToday = day == today;
    f.isPast = day < today;
    f.isRestDay = m_orders.isRestDay(day);
    f.isFull = m_orders.isDayFull(day);
    f.orders = m_orders.ordersFor(day);
    f.unimportedEvents = unimportedEvents(day);
    f.itemCount = int(f.orders.size() + f.unimportedEvents.size());
    f.revenue = m_orders.totalRevenue(day);
    if (!f.orders.isEmpty())
        f.mark = f.orders.first().isShootDateTBD ? CalendarMark::shootDateTBD : markForStatus(f.orders.first().status);
    else if (!f.unimportedEvents.isEmpty())
        f.mark = CalendarMark::unimportedEvent;
    f.isDimmed = f.isFull && !f.isRestDay;
    return f;
}
