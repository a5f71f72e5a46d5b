#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// The unit of a reminder rule. The raw text is the stored value and the word
// written after the number in labels and log lines ("7天").
enum class ReminderUnit {
    day,    // "天"
    hour,   // "小时"
    minute, // "分钟"
};

QString rawValue(ReminderUnit unit);
std::optional<ReminderUnit> reminderUnitFromRawValue(const QString& text);

// How long before a shoot the photographer is reminded. One list of rules
// holds for every order; each rule gives one calendar alarm and one local
// notification per synced order.
struct ReminderRule
{
    using Unit = ReminderUnit;

    QUuid id;
    qint64 value = 0;
    ReminderUnit unit = ReminderUnit::day;
    // Day rules only: its local hour and minute are the time of the reminder
    // (09:00 when absent); its date is ignored.
    std::optional<QDateTime> triggerTime;

    ReminderRule() = default;
    // A new rule with a fresh random id.
    ReminderRule(qint64 value, ReminderUnit unit, const std::optional<QDateTime>& triggerTime = std::nullopt);

    // 7, 3 and 1 days before at 10:00, with fresh ids on every call.
    static QList<ReminderRule> defaultRules();

    // "7天", "2小时".
    QString label() const;

    bool operator==(const ReminderRule&) const = default;
};
