#pragma once

#include "orderbook/Order.h"
#include "orderbook/Package.h"
#include "orderbook/ReminderRule.h"
#include "orderbook/RestDay.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QUuid>

#include <optional>

// The stored JSON form of the order book's lists: compact UTF-8, every member
// required (an order's "calendarEventIdentifier" excepted), UUIDs upper-case,
// dates as seconds since 2001-01-01 00:00:00 UTC, enumerations as their raw
// texts. Decoding is all or nothing: one bad element rejects the whole list.
// Encoding refuses numbers JSON cannot hold (not finite) and invalid dates.
class OrderCodec
{
public:
    static std::optional<QByteArray> encodeOrders(const QList<Order>& orders);
    static std::optional<QList<Order>> decodeOrders(const QByteArray& json);
    // The stored list as the order book loads it: when the bytes are exactly
    // in this codec's form they are read straight and each order's own bytes
    // go to `elements`, so the next save re-encodes only what changed; else
    // decodeOrders decides and every element is left empty.
    static std::optional<QList<Order>> decodeStoredOrders(const QByteArray& json, QList<QByteArray>& elements);
    // One order object; joinArray of such objects gives encodeOrders' bytes.
    static std::optional<QByteArray> encodeOrder(const Order& order);
    static QByteArray joinArray(const QList<QByteArray>& elements);

    static std::optional<QByteArray> encodeRestDays(const QList<RestDay>& days);
    static std::optional<QList<RestDay>> decodeRestDays(const QByteArray& json);

    static std::optional<QByteArray> encodePackages(const QList<Package>& packages);
    static std::optional<QList<Package>> decodePackages(const QByteArray& json);

    // "triggerTime" is written only when present and may be missing on reading.
    static std::optional<QByteArray> encodeReminderRules(const QList<ReminderRule>& rules);
    static std::optional<QList<ReminderRule>> decodeReminderRules(const QByteArray& json);

    // Whether encodeOrders would take this order.
    static bool isEncodable(const Order& order);

    // Seconds since 2001-01-01 00:00:00 UTC, kept to the millisecond.
    static double referenceSeconds(const QDateTime& moment);
    // None for a number that is not finite or lies beyond any usable date.
    static std::optional<QDateTime> dateFromReferenceSeconds(double seconds);

    // Canonical upper-case text, 8-4-4-4-12 without braces.
    static QString uuidText(const QUuid& id);
    // Accepts exactly the canonical form, upper or lower case.
    static std::optional<QUuid> parseUuid(const QString& text);
};
