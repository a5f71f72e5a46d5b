#include "PaymentRecord.h"

PaymentRecord::PaymentRecord(double amount_, const QDateTime& date_, const QString& note_)
    : id(QUuid::createUuid())
    , amount(amount_)
    , date(date_)
    , note(note_)
{
}
