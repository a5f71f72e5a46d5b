#pragma once

#include "orderbook/OrderStatus.h"

#include <QList>
#include <QString>

// The colour roles of the month calendar's marks. The views map each role to
// its colour; here they are plain data.
enum class CalendarMark {
    none,
    unimportedEvent, // system blue: calendar events still to import by hand
    shootDateTBD,    // pink (0.827, 0.439, 0.522)
    pendingDeposit,  // system yellow
    pendingShoot,    // system red
    pendingBalance,  // system orange
    completed,       // the theme's gold
    cancelled,       // system gray
    settled,         // system green: the legend's "已结清" only
};

// The colour of an order's status.
CalendarMark markForStatus(OrderStatus status);

struct LegendEntry
{
    CalendarMark mark;
    QString label;
};

// The status legend's six entries, in order.
const QList<LegendEntry>& statusLegendEntries();
