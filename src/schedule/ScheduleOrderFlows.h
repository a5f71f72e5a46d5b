#pragma once

#include "orderbook/Order.h"
#include "orderbook/ShootEvent.h"

#include <QObject>
#include <QUuid>

#include <optional>

class CalendarSyncManager;
class OrderManager;

// What the schedule screen does with orders: storing what the order form
// built and mirroring it to the calendar, and importing a calendar event.
// The store is always written before the calendar is touched.
class ScheduleOrderFlows : public QObject
{
    Q_OBJECT
public:
    ScheduleOrderFlows(OrderManager& orders, CalendarSyncManager& sync, QObject* parent = nullptr);

    // The order the form built; `isEdit` when it edits a stored one. False,
    // with the calendar untouched, when the store refused it (an edited order
    // deleted meanwhile, or an amount that cannot be stored).
    bool saveOrder(const Order& order, bool isEdit);
    static QString saveRefusedMessage();

    // What the import alert shows for an event ("-" for what was not found).
    static QString importMessage(const std::optional<ShootEvent>& event);
    // Appends the order the event stands for and refreshes the events; false
    // (nothing added) when an order already holds the event.
    bool importEvent(const ShootEvent& event);

private:
    OrderManager& m_orders;
    CalendarSyncManager& m_sync;
};
