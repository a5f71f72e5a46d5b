#pragma once

#include "orderbook/Order.h"

#include <QDate>
#include <QList>

// The orders both calendar sync benches sync: `count` future shoots spread
// over five months, each with one reminder rule.
inline QList<Order> syncBenchOrders(int count)
{
    QList<Order> list;
    const QDate first = QDate::currentDate().addDays(10);
    for (int i = 0; i < count; ++i) {
        const QDateTime shoot(first.addDays(i % 150), QTime(9 + i % 8, 0));
        list.append(Order(QStringLiteral("客户%1").arg(i), "13800138000", "标准套系", shoot, shoot,
                          ShootTimeSlot::morning, 3000, 500, {}, "外景", OrderStatus::pendingShoot, true,
                          QString("提前1天"), "", false));
    }
    return list;
}
