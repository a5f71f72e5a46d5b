#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

// One payment received on an order.
struct PaymentRecord
{
    QUuid id;
    double amount = 0;
    QDateTime date; // when the payment was recorded
    QString note;

    PaymentRecord() = default;
    // A payment with a fresh random id.
    PaymentRecord(double amount, const QDateTime& date, const QString& note);

    bool operator==(const PaymentRecord&) const = default;
};
