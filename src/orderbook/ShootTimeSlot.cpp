#include "ShootTimeSlot.h"

QString rawValue(ShootTimeSlot slot)
{
    switch (slot) {
    case ShootTimeSlot::morning: return QStringLiteral("上午");
    case ShootTimeSlot::afternoon: return QStringLiteral("下午");
    case ShootTimeSlot::fullDay: return QStringLiteral("全天");
    }
    return {};
}

std::optional<ShootTimeSlot> shootTimeSlotFromRawValue(const QString& text)
{
    for (ShootTimeSlot s : allShootTimeSlots()) {
        if (rawValue(s) == text)
            return s;
    }
    return std::nullopt;
}

const QList<ShootTimeSlot>& allShootTimeSlots()
{
    static const QList<ShootTimeSlot> all{ShootTimeSlot::morning, ShootTimeSlot::afternoon,
                                          ShootTimeSlot::fullDay};
    return all;
}
