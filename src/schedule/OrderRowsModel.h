#pragma once

#include "orderbook/Order.h"

#include <QAbstractListModel>
#include <QStyledItemDelegate>

class CalendarBatchSelection;

// The listed orders of the order section, one row each, in list order.
class OrderRowsModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role { OrderRole = Qt::UserRole + 1, CheckedRole };

    explicit OrderRowsModel(CalendarBatchSelection& selection, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    const Order& orderAt(int row) const { return m_orders.at(row); }
    // Takes the selection's filtered list again.
    void reload();

private:
    CalendarBatchSelection& m_selection;
    QList<Order> m_orders;
};

// Paints an order row: the checkbox in batch mode, the status bar, name,
// package and total, then day and slot, status and the amount received.
class OrderRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int rowHeight = 48;
    static constexpr int rowSpacing = 4;

    explicit OrderRowDelegate(CalendarBatchSelection& selection, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The checkbox of a row drawn in `rowRect`.
    static QRect checkboxRect(const QRect& rowRect);

private:
    CalendarBatchSelection& m_selection;
};
