#pragma once

#include "orderbook/Order.h"

#include <QDialog>

#include <functional>

class QVBoxLayout;
class QWidget;

// "选择要编辑的订单": the orders of one day as cards; picking one closes the
// sheet and hands that order on. While the day's calendar is being checked
// a bar says so at the bottom and an empty list shows nothing yet.
class OrderSelectionSheet : public QDialog
{
    Q_OBJECT
public:
    using Pick = std::function<void(const Order& order)>;
    OrderSelectionSheet(const QList<Order>& orders, Pick onPick, QWidget* parent = nullptr);

    // The cards are replaced in place.
    void setOrders(const QList<Order>& orders);
    void setSyncing(bool syncing);
    bool isSyncing() const { return m_syncing; }

    // The status dot's colour and the card's amount ("¥3999" for 3999.9).
    static QColor statusColor(OrderStatus status);
    static QString amountText(double total);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refreshEmptyText();

    Pick m_onPick;
    QWidget* m_list = nullptr;
    QVBoxLayout* m_cards = nullptr;
    QWidget* m_empty = nullptr;
    QWidget* m_syncBar = nullptr;
    bool m_syncing = false;
    bool m_hasOrders = false;
};
