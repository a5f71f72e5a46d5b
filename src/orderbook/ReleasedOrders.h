#pragma once

#include <QList>
#include <QSet>
#include <QUuid>

class UserDefaults;

// The orders this book let go: deleted, or taken away by a restore. An event
// naming one of them is that order's leftover, whichever session, store or
// stalled call made it: it is removed wherever it turns up and never comes
// back as a new order. Stored newest last and bounded, the oldest going first;
// a caller never lets it hold an order the book holds (a restore that brings
// an order back lifts it).
class ReleasedOrders
{
public:
    static constexpr int limit = 2000;

    explicit ReleasedOrders(UserDefaults& defaults);

    QSet<QUuid> ids() const;
    bool contains(const QString& orderId) const;
    // Each returns whether the stored list changed.
    bool add(const QList<QUuid>& ids);
    bool lift(const QSet<QUuid>& ids);

private:
    QList<QUuid> read() const;
    bool write(const QList<QUuid>& ids);

    UserDefaults& m_defaults;
};
