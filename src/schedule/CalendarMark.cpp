#include "CalendarMark.h"

CalendarMark markForStatus(OrderStatus status)
{
    switch (status) {
    case OrderStatus::pendingDeposit: return CalendarMark::pendingDeposit;
    case OrderStatus::pendingShoot: return CalendarMark::pendingShoot;
    case OrderStatus::pendingBalance: return CalendarMark::pendingBalance;
    case OrderStatus::completed: return CalendarMark::completed;
    case OrderStatus::cancelled: return CalendarMark::cancelled;
    }
    return CalendarMark::none;
}

const QList<LegendEntry>& statusLegendEntries()
{
    static const QList<LegendEntry> entries = {
        {CalendarMark::unimportedEvent, QStringLiteral("需要手动导入")},
        {CalendarMark::pendingDeposit, QStringLiteral("待付定金")},
        {CalendarMark::shootDateTBD, QStringLiteral("档期待定")},
        {CalendarMark::pendingShoot, QStringLiteral("待拍摄")},
        {CalendarMark::pendingBalance, QStringLiteral("待收尾款")},
        {CalendarMark::settled, QStringLiteral("已结清")},
    };
    return entries;
}
