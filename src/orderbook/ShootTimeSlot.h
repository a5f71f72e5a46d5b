#pragma once

#include <QList>
#include <QString>

#include <optional>

// The part of the day booked; the raw text is the stored and shown value.
enum class ShootTimeSlot {
    morning,   // "上午"
    afternoon, // "下午"
    fullDay,   // "全天"
};

QString rawValue(ShootTimeSlot slot);
std::optional<ShootTimeSlot> shootTimeSlotFromRawValue(const QString& text);
const QList<ShootTimeSlot>& allShootTimeSlots();
