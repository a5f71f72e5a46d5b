#pragma once

#include "orderbook/OrderStatus.h"

#include <QString>

// The order fields read from one calendar event's text.
struct ParsedOrderFields
{
    QString customerName;
    QString phone;       // as found, not normalised
    QString packageType; // a package name of the keyword table, or empty
    double depositAmount = 0;
    QString location;
    OrderStatus status = OrderStatus::pendingDeposit;
    bool hasValidData = false; // a customer name was found

    bool operator==(const ParsedOrderFields&) const = default;
};
