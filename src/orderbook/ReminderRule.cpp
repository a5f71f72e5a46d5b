#include "ReminderRule.h"

#include <array>

namespace {
struct UnitText {
    ReminderUnit unit;
    const char16_t* text;
};
constexpr std::array<UnitText, 3> kUnits{{
    {ReminderUnit::day, u"天"},
    {ReminderUnit::hour, u"小时"},
    {ReminderUnit::minute, u"分钟"},
}};
}

QString rawValue(ReminderUnit unit)
{
    for (const UnitText& u : kUnits) {
        if (u.unit == unit)
            return QString::fromUtf16(u.text);
    }
    return {};
}

std::optional<ReminderUnit> reminderUnitFromRawValue(const QString& text)
{
    for (const UnitText& u : kUnits) {
        if (text == QString::fromUtf16(u.text))
            return u.unit;
    }
    return std::nullopt;
}

ReminderRule::ReminderRule(qint64 value, ReminderUnit unit, const std::optional<QDateTime>& triggerTime)
    : id(QUuid::createUuid())
    , value(value)
    , unit(unit)
    , triggerTime(triggerTime)
{
}

QList<ReminderRule> ReminderRule::defaultRules()
{
    const QDateTime tenOClock(QDate::currentDate(), QTime(10, 0));
    std::optional<QDateTime> trigger;
    if (tenOClock.isValid())
        trigger = tenOClock;
    return {ReminderRule(7, ReminderUnit::day, trigger), ReminderRule(3, ReminderUnit::day, trigger),
            ReminderRule(1, ReminderUnit::day, trigger)};
}

QString ReminderRule::label() const
{
    return QString::number(value) + rawValue(unit);
}
