#pragma once

#include "orderbook/Order.h"

#include <QList>
#include <QString>

// The orders, in their order, whose customer name or phone contains `text`,
// ignoring case. The caller trims the text; an empty text keeps every order.
QList<Order> orderMatchesSearch(const QList<Order>& orders, const QString& text);
// The same test for one order.
bool orderMatchesSearch(const Order& order, const QString& text);
