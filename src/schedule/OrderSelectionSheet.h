#pragma once

#include "orderbook/Order.h"

#include <QDialog>

#include <functional>

// "选择要编辑的订单": the orders of one day as cards; picking one closes the
// sheet and hands that order on.
class OrderSelectionSheet : public QDialog
{
    Q_OBJECT
public:
    using Pick = std::function<void(const Order& order)>;
    OrderSelectionSheet(const QList<Order>& orders, Pick onPick, QWidget* parent = nullptr);

    // The status dot's colour and the card's amount ("¥3999" for 3999.9).
    static QColor statusColor(OrderStatus status);
    static QString amountText(double total);

protected:
    void paintEvent(QPaintEvent* event) override;
};
