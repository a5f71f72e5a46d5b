#pragma once

#include "orderbook/Order.h"
#include "orderbook/ShootEvent.h"

#include <QDate>
#include <QList>

#include <optional>

// What a click on the month calendar asks the schedule screen to open.
// `date` (when valid) becomes the screen's selected day in every case.
struct CalendarRequest
{
    enum class Kind {
        none,         // nothing to open
        newOrder,     // the order form for a new order on `date`
        editOrder,    // the order form on `order`
        selectOrders, // the order selection sheet over `orders`
        importEvent,  // the import confirmation for `event`
    };
    Kind kind = Kind::none;
    QDate date;
    std::optional<Order> order;
    QList<Order> orders; // also the selection sheet's list when kind is none
    std::optional<ShootEvent> event;
};

// One entry of a day cell's context menu.
struct DayMenuEntry
{
    enum class Action { toggleRestDay, viewOrders, deleteOrder, deleteDay, divider };
    Action action = Action::divider;
    QString text;
    QString symbol;
    bool inSubmenu = false;   // under the "删除订单" submenu
    QList<Order> orders;      // the order(s) a delete or view acts on
};

// The texts of a delete confirmation.
struct DeleteConfirmation
{
    QString title;
    QString message;
};
