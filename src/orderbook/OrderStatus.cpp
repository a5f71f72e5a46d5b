#include "OrderStatus.h"

QString rawValue(OrderStatus status)
{
    switch (status) {
    case OrderStatus::pendingDeposit: return QStringLiteral("待付定金");
    case OrderStatus::pendingShoot: return QStringLiteral("待拍摄");
    case OrderStatus::pendingBalance: return QStringLiteral("已拍摄待收尾款");
    case OrderStatus::completed: return QStringLiteral("已结清");
    case OrderStatus::cancelled: return QStringLiteral("已取消");
    }
    return {};
}

std::optional<OrderStatus> orderStatusFromRawValue(const QString& text)
{
    for (OrderStatus s : allOrderStatuses()) {
        if (rawValue(s) == text)
            return s;
    }
    return std::nullopt;
}

const QList<OrderStatus>& allOrderStatuses()
{
    static const QList<OrderStatus> all{OrderStatus::pendingDeposit, OrderStatus::pendingShoot,
                                        OrderStatus::pendingBalance, OrderStatus::completed,
                                        OrderStatus::cancelled};
    return all;
}
