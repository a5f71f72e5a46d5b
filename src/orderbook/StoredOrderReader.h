#pragma once

#include "orderbook/Order.h"

#include <QByteArray>
#include <QList>

#include <optional>

// Reads an order list in exactly the form OrderCodec writes it, straight
// from the bytes: no JSON tree, and each order's own bytes kept, so a save
// after a start re-encodes nothing that did not change. Anything it is not
// certain to read as the general decoder does (another member order, spaces,
// other escapes or number forms, unusual characters) it gives up on.
class StoredOrderReader
{
public:
    explicit StoredOrderReader(const QByteArray& json);

    // The orders with the bytes of each, in list order; none when it gives up.
    std::optional<QList<Order>> read(QList<QByteArray>& elements);

private:
    bool literal(const char* text, qsizetype size);
    template <qsizetype N>
    bool literal(const char (&text)[N]) { return literal(text, N - 1); }
    bool string(QString& out);
    bool number(double& out);
    bool date(QDateTime& out);
    bool uuid(QUuid& out);
    bool boolean(bool& out);
    bool payment(PaymentRecord& out);
    bool order(Order& out);

    const char* m_p;
    const char* m_end;
    QByteArray m_text; // reused for every string
};
