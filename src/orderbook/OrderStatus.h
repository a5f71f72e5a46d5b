#pragma once

#include <QList>
#include <QString>

#include <optional>

// Progress of an order. The raw text is both the stored value and what
// screens, search entries and the CSV show.
enum class OrderStatus {
    pendingDeposit, // "待付定金"
    pendingShoot,   // "待拍摄"
    pendingBalance, // "已拍摄待收尾款"
    completed,      // "已结清"
    cancelled,      // "已取消"
};

QString rawValue(OrderStatus status);
// Exact match only: "待拍摄 " (trailing blank) is no status.
std::optional<OrderStatus> orderStatusFromRawValue(const QString& text);
// Every case in declaration order.
const QList<OrderStatus>& allOrderStatuses();
