#include "OrderSearch.h"

bool orderMatchesSearch(const Order& order, const QString& text)
{
    return order.customerName.contains(text, Qt::CaseInsensitive) || order.phone.contains(text, Qt::CaseInsensitive);
}

QList<Order> orderMatchesSearch(const QList<Order>& orders, const QString& text)
{
    QList<Order> kept;
    for (const Order& o : orders) {
        if (orderMatchesSearch(o, text))
            kept.append(o);
    }
    return kept;
}
