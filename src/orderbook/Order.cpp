#include "Order.h"

#include "orderbook/LocalCalendar.h"
#include "orderbook/Money.h"
#include "orderbook/OrderbookKeys.h"
#include "platform/UserDefaults.h"

#include <cmath>

Order::Order(const QString& customerName_, const QString& phone_, const QString& packageType_,
             const QDateTime& shootDate_, const QDateTime& shootTime_, ShootTimeSlot timeSlot_,
             double totalAmount_, double depositAmount_, const QList<PaymentRecord>& payments_,
             const QString& note_, OrderStatus status_, bool syncToCalendar_,
             const std::optional<QString>& reminderRule_, const QString& shootLocation_,
             bool isShootDateTBD_)
    : id(QUuid::createUuid())
    , customerName(customerName_)
    , phone(phone_)
    , packageType(packageType_)
    , shootDate(shootDate_)
    , shootTime(shootTime_)
    , timeSlot(timeSlot_)
    , totalAmount(totalAmount_)
    , depositAmount(depositAmount_)
    , payments(payments_)
    , note(note_)
    , status(status_)
    , syncToCalendar(syncToCalendar_)
    , reminderRule(reminderRule_ ? *reminderRule_ : defaultReminderRule())
    , shootLocation(shootLocation_)
    , isShootDateTBD(isShootDateTBD_)
{
}

Order Order::blank()
{
    Order o;
    o.id = QUuid::createUuid();
    o.reminderRule = defaultReminderRule();
    return o;
}

QString Order::defaultReminderRule()
{
    return UserDefaults::standard().value(OrderbookKeys::reminderDefault);
}

double Order::receivedAmount() const
{
    double sum = 0;
    for (const PaymentRecord& p : payments)
        sum += p.amount;
    return sum;
}

double Order::pendingAmount() const
{
    const double received = receivedAmount();
    if (Money::covers(received, totalAmount))
        return 0;
    return totalAmount - received;
}

std::optional<QDateTime> Order::completedDate() const
{
    if (status != OrderStatus::completed || payments.isEmpty())
        return std::nullopt;
    if (Money::cents(totalAmount) <= 0 || !Money::covers(receivedAmount(), totalAmount))
        return std::nullopt;
    QDateTime latest = payments.first().date;
    for (const PaymentRecord& p : payments) {
        if (p.date > latest)
            latest = p.date;
    }
    return latest;
}

QDate Order::shootDay() const
{
    return LocalCalendar::dayOf(shootDate);
}

bool Order::hasFiniteAmounts() const
{
    if (!std::isfinite(totalAmount) || !std::isfinite(depositAmount))
        return false;
    for (const PaymentRecord& p : payments) {
        if (!std::isfinite(p.amount))
            return false;
    }
    return true;
}
