#pragma once

#include "orderbook/OrderStatus.h"
#include "orderbook/PaymentRecord.h"
#include "orderbook/ShootTimeSlot.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// One booked shoot. A plain value: copying it copies its payments.
// A default-constructed Order has a null id; use the full constructor or
// Order::blank() for a new booking.
struct Order
{
    QUuid id;
    QString customerName;
    QString phone;
    QString packageType;     // a package name, not checked against the list
    QDateTime shootDate;     // its local day drives every day rule
    QDateTime shootTime;     // only hour and minute matter
    ShootTimeSlot timeSlot = ShootTimeSlot::morning;
    double totalAmount = 0;
    double depositAmount = 0;
    QList<PaymentRecord> payments; // in the order they were added
    QString note;
    OrderStatus status = OrderStatus::pendingDeposit;
    bool syncToCalendar = false;
    QString reminderRule;    // a label such as "提前1天"
    std::optional<QString> calendarEventIdentifier;
    QString shootLocation;
    bool isShootDateTBD = false;

    Order() = default;
    // A new order with a fresh random id and no calendar event. Without a
    // reminder label it takes "scheduleReminderDefault", else "提前1天".
    Order(const QString& customerName, const QString& phone, const QString& packageType,
          const QDateTime& shootDate, const QDateTime& shootTime, ShootTimeSlot timeSlot,
          double totalAmount, double depositAmount, const QList<PaymentRecord>& payments,
          const QString& note, OrderStatus status, bool syncToCalendar,
          const std::optional<QString>& reminderRule, const QString& shootLocation,
          bool isShootDateTBD);

    // An empty new order: fresh id, default reminder label, everything else empty.
    static Order blank();
    // The reminder label a new order gets when none is given.
    static QString defaultReminderRule();

    // Sum of the payment amounts, in list order.
    double receivedAmount() const;
    // total − received, never below 0 (and 0 once received covers the total
    // in whole cents).
    double pendingAmount() const;
    // The latest payment date of a completed, fully paid order with a total
    // above 0; none otherwise.
    std::optional<QDateTime> completedDate() const;

    // The local calendar day of the shoot.
    QDate shootDay() const;

    // Whether every amount (total, deposit, payments) is finite.
    bool hasFiniteAmounts() const;

    bool operator==(const Order&) const = default;
};
