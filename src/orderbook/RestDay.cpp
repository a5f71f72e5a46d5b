#include "RestDay.h"

#include "orderbook/LocalCalendar.h"

RestDay::RestDay(const QDate& day)
    : id(QUuid::createUuid())
    , date(day.startOfDay())
{
}

RestDay::RestDay(const QDateTime& moment)
    : RestDay(LocalCalendar::dayOf(moment))
{
}

QDate RestDay::day() const
{
    return LocalCalendar::dayOf(date);
}
