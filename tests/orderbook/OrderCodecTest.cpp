#include "Corruptions.h"
#include "OrderbookFixture.h"

#include "orderbook/LocalCalendar.h"
#include "orderbook/OrderManager.h"

#include <cmath>

namespace {

// One stored order as an older installation wrote it: lower-case UUIDs,
// null event identifier, a member we do not know.
QJsonObject storedOrder()
{
    return QJsonDocument::fromJson(R"({"id":"0f8fad5b-d9cb-469f-a165-70867728950e","customerName":"王女士",
        "phone":"139","packageType":"婚礼跟拍","shootDate":786000000.5,"shootTime":786003600.25,"timeSlot":"全天",
        "totalAmount":4999,"depositAmount":500,"note":"带\"引号\"的备注\n第二行","status":"待拍摄",
        "payments":[{"id":"7c9e6679-7425-40de-944b-e07fc1f90ae7","amount":500,"date":785000000,"note":"定金"}],
        "syncToCalendar":true,"reminderRule":"提前3天","calendarEventIdentifier":null,"shootLocation":"外滩",
        "isShootDateTBD":false,"futureMember":42})")
        .object();
}

QByteArray arrayBytes(const QJsonArray& a)
{
    return QJsonDocument(a).toJson(QJsonDocument::Compact);
}

using OrderCodecTest = OrderbookFixture;

TEST_F(OrderCodecTest, StoredOrderReencodesInTheCanonicalForm)
{
    store->set(OrderbookKeys::orders, arrayBytes({storedOrder()}));
    OrderManager manager(*store);
    ASSERT_EQ(manager.orders().size(), 1);
    const Order& o = manager.orders().first();
    EXPECT_EQ(o.id, QUuid("{0f8fad5b-d9cb-469f-a165-70867728950e}"));
    EXPECT_FALSE(o.calendarEventIdentifier.has_value());
    EXPECT_EQ(o.timeSlot, ShootTimeSlot::fullDay);
    EXPECT_EQ(o.status, OrderStatus::pendingShoot);
    // 786000000.5 s after 2001-01-01Z.
    EXPECT_EQ(o.shootDate.toMSecsSinceEpoch(), 978307200000LL + 786000000500LL);

    manager.save();
    // Compact JSON with line breaks escaped, upper-case UUIDs, unknown and null members dropped.
    const QByteArray bytes = stored(OrderbookKeys::orders);
    for (const char* absent : {"\n", "\": ", "calendarEventIdentifier", "futureMember"})
        EXPECT_FALSE(bytes.contains(absent)) << absent;
    for (const char* part : {R"("id":"0F8FAD5B-D9CB-469F-A165-70867728950E")",
                             R"("id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7")", R"("shootDate":786000000.5)",
                             R"("shootTime":786003600.25)", R"("date":785000000)", R"("timeSlot":"全天")",
                             R"("status":"待拍摄")"})
        EXPECT_TRUE(bytes.contains(part)) << part << " in " << bytes.constData();

    // Every member is written and the bytes read back to the same order.
    EXPECT_EQ(QJsonDocument::fromJson(bytes).array().first().toObject().size(), 16);
    const auto again = OrderCodec::decodeOrders(bytes);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->first(), o);
}

TEST_F(OrderCodecTest, OneBadElementMakesTheWholeListUnreadable)
{
    auto with = [](const char* member, const QJsonValue& v) {
        QJsonObject o = storedOrder();
        if (v.isUndefined())
            o.remove(member);
        else
            o.insert(member, v);
        return o;
    };
    const QList<QJsonObject> bad{
        with("shootLocation", QJsonValue::Undefined), with("isShootDateTBD", QJsonValue::Undefined),
        with("status", "待拍摄 "), with("timeSlot", "晚上"), with("id", "not-a-uuid"),
        with("id", "{0f8fad5b-d9cb-469f-a165-70867728950e}"), with("totalAmount", "100"),
        with("note", QJsonValue::Null), with("syncToCalendar", 1), with("calendarEventIdentifier", 5),
        with("payments", QJsonArray{QJsonObject{{"id", "x"}}}),
    };
    for (const QJsonObject& b : bad)
        EXPECT_FALSE(OrderCodec::decodeOrders(arrayBytes({storedOrder(), b}))) << arrayBytes({b}).constData();
    EXPECT_FALSE(OrderCodec::decodeOrders("{}"));
    EXPECT_FALSE(OrderCodec::decodeOrders("[1]"));
    EXPECT_TRUE(OrderCodec::decodeOrders(arrayBytes({storedOrder(), storedOrder()})));
}

TEST_F(OrderCodecTest, NumbersAreWrittenAsPlainShortestText)
{
    Order o = order("甲", QDateTime(QDate(2001, 1, 1), QTime(8, 0)), 0.1); // the reference instant
    o.depositAmount = 1e20;
    o.payments = {PaymentRecord(-12.5, QDateTime(QDate(2001, 1, 1), QTime(8, 0, 0, 250)), "")};
    o.calendarEventIdentifier = "EV-1"; // written when present
    const QByteArray bytes = *OrderCodec::encodeOrders({o});
    for (const char* part : {R"("totalAmount":0.1,)", R"("depositAmount":100000000000000000000,)",
                             R"("shootDate":0,)", R"("amount":-12.5,"date":0.25,)",
                             R"("calendarEventIdentifier":"EV-1")"})
        EXPECT_TRUE(bytes.contains(part)) << part << " in " << bytes.constData();
    EXPECT_EQ(OrderCodec::decodeOrders(bytes)->first(), o);
}

TEST_F(OrderCodecTest, NonFiniteAmountsNeverReachTheStore)
{
    OrderManager manager(*store);
    const Order good = order("甲", local(2026, 6, 1), 1000);
    ASSERT_TRUE(manager.addOrder(good));
    const QByteArray before = stored(OrderbookKeys::orders);
    logLines.clear();

    EXPECT_FALSE(manager.addOrder(order("乙", local(2026, 6, 1), std::nan(""))));
    Order infDeposit = good;
    infDeposit.depositAmount = INFINITY;
    EXPECT_FALSE(manager.updateOrder(infDeposit));
    EXPECT_FALSE(manager.addPayment(good, -INFINITY, ""));
    EXPECT_EQ(logLines.size(), 3);
    EXPECT_EQ(manager.orders(), QList<Order>{good});
    EXPECT_EQ(stored(OrderbookKeys::orders), before);

    // The encoder itself refuses too: the key keeps its value.
    Order sneaky = good;
    sneaky.totalAmount = std::nan("");
    EXPECT_FALSE(OrderCodec::encodeOrders({sneaky}));
    EXPECT_FALSE(manager.setOrders({sneaky}));
    EXPECT_EQ(stored(OrderbookKeys::orders), before);
}

TEST_F(OrderCodecTest, InstantsKeepTheirLocalDayAndRestDaysStoreIdAndStartOfDay)
{
    // 2026-03-09T16:00:00Z is 00:00 on 2026-03-10 in Shanghai; one ms earlier is the 9th.
    const QDateTime midnightUtc(QDate(2026, 3, 9), QTime(16, 0), Qt::UTC);
    const double seconds = (midnightUtc.toMSecsSinceEpoch() - 978307200000LL) / 1000.0;
    QJsonObject o = storedOrder();
    o["shootDate"] = seconds;
    QJsonObject earlier = storedOrder();
    earlier["id"] = "1F8FAD5B-D9CB-469F-A165-70867728950E";
    earlier["shootDate"] = seconds - 0.001;
    store->set(OrderbookKeys::orders, arrayBytes({o, earlier}));
    OrderManager manager(*store);
    ASSERT_EQ(manager.orders().size(), 2);
    const Order& first = manager.orders().first();
    EXPECT_EQ(first.shootDate.date(), QDate(2026, 3, 10)) << "date() reads the local wall clock";
    EXPECT_EQ(first.shootDate.time(), QTime(0, 0));
    EXPECT_EQ(first.shootDate, midnightUtc);
    EXPECT_EQ(manager.ordersFor(QDate(2026, 3, 10)).size(), 1);
    EXPECT_EQ(manager.ordersFor(QDate(2026, 3, 9)).size(), 1);
    EXPECT_EQ(LocalCalendar::dayOf(midnightUtc), QDate(2026, 3, 10));
    EXPECT_EQ(LocalCalendar::dayOf(midnightUtc.addMSecs(-1)), QDate(2026, 3, 9));

    manager.toggleRestDay(local(2026, 3, 10, 15, 30));
    const QJsonArray days = storedArray(OrderbookKeys::restDays);
    ASSERT_EQ(days.size(), 1);
    const QJsonObject day = days.first().toObject();
    EXPECT_EQ(day.keys(), (QStringList{"date", "id"}));
    EXPECT_EQ(day["id"].toString(), day["id"].toString().toUpper());
    EXPECT_DOUBLE_EQ(day["date"].toDouble(), seconds);
}

TEST_F(OrderCodecTest, UnreadableListIsQuarantinedBeforeTheFirstOverwriteAndNeverWithoutACopy)
{
    QJsonObject broken = storedOrder();
    broken.remove("shootLocation");
    const QByteArray unreadable = arrayBytes({storedOrder(), broken});
    store->set(OrderbookKeys::orders, unreadable);
    OrderManager manager(*store);
    EXPECT_TRUE(manager.orders().isEmpty());
    EXPECT_TRUE(quarantined().isEmpty()) << "nothing copied while nothing is overwritten";
    EXPECT_EQ(stored(OrderbookKeys::orders), unreadable);

    blockQuarantine(true);
    EXPECT_FALSE(manager.addOrder(order("甲", local(2026, 6, 1), 100))) << "the refused save is reported";
    EXPECT_TRUE(manager.orders().isEmpty()) << "and undone, so it cannot reappear with a later save";
    EXPECT_EQ(stored(OrderbookKeys::orders), unreadable) << "no copy, no overwrite";
    EXPECT_EQ(logLines.filter("另存副本失败").size(), 1);
    EXPECT_EQ(storedArray(OrderbookKeys::restDays).size(), 0) << "the readable key is still written";

    blockQuarantine(false);
    manager.addOrder(order("乙", local(2026, 6, 2), 100));
    ASSERT_EQ(quarantined().size(), 1);
    EXPECT_TRUE(quarantined().first().startsWith("schedule_orders_v1_"));
    EXPECT_EQ(quarantinedBytes(), QByteArrayList{unreadable});
    EXPECT_EQ(logLines.filter("已另存到").size(), 1);
    EXPECT_EQ(storedArray(OrderbookKeys::orders).size(), 1);
    manager.addOrder(order("丙", local(2026, 6, 3), 100));
    EXPECT_EQ(quarantined().size(), 1) << "copied once only";
}

TEST_F(OrderCodecTest, ReloadKeepsEveryUnreadableVersionItReplaces)
{
    // A backup import puts other bytes under the key before anything was saved:
    // the first unreadable list is gone from the store, so the copy is ours to make.
    store->set(OrderbookKeys::orders, QByteArray("[1]"));
    OrderManager manager(*store);
    store->set(OrderbookKeys::orders, QByteArray("[2]"));
    manager.load();
    EXPECT_EQ(quarantinedBytes(), QByteArrayList{"[1]"});

    store->set(OrderbookKeys::orders, *OrderCodec::encodeOrders({order("甲", local(2026, 6, 1), 100)}));
    manager.load();
    EXPECT_EQ(manager.orders().size(), 1);
    EXPECT_EQ(quarantinedBytes(), (QByteArrayList{"[1]", "[2]"}));
}

TEST_F(OrderCodecTest, ListsStoredAsOtherValueTypesAreReadOrKeptWhole)
{
    // An import may restore the JSON parsed, as a list; it is the same data.
    const QByteArray bytes = *OrderCodec::encodeOrders({order("甲", local(2026, 6, 1), 100)});
    store->set(OrderbookKeys::orders, QJsonDocument::fromJson(bytes).array().toVariantList());
    store->set(OrderbookKeys::restDays, 42.5);
    OrderManager manager(*store);
    ASSERT_EQ(manager.orders().size(), 1);
    EXPECT_EQ(manager.orders().first().customerName, "甲");

    manager.save();
    EXPECT_EQ(stored(OrderbookKeys::orders), bytes);
    ASSERT_EQ(quarantined().size(), 1);
    EXPECT_TRUE(quarantined().first().startsWith("schedule_restdays_v1_"));
    EXPECT_EQ(quarantinedBytes(), QByteArrayList{"42.5"});
    EXPECT_EQ(stored(OrderbookKeys::restDays), "[]");
}

// The fast reader of the stored list reads exactly what the general decoder
// reads, keeps each order's bytes as they would be written again, and leaves
// anything else, damaged or merely unusual, to the general decoder.
TEST_F(OrderCodecTest, StoredListReaderAgreesWithTheGeneralDecoder)
{
    QList<Order> orders;
    const QStringList texts{"王女士", "陈\"五\"\\", "第一行\n第二行\t\r", QString(QChar(1)) + "\b\f", "🎞 é", "a/b",
                            QString(QChar(0x2028)) + QChar(0xfffd)};
    for (int i = 0; i < 60; ++i) {
        const QString text = texts[i % texts.size()];
        Order o = order(text, local(2026, 1 + i % 12, 1 + i % 28, i % 24), 1000.25 * i,
                        {PaymentRecord(i % 2 ? 500 : 0.1, local(2025, 12, 31, 23, 59), text)});
        o.note = texts[(i + 3) % texts.size()];
        o.depositAmount = i % 5 ? 300 : 1e22;
        if (i % 3)
            o.calendarEventIdentifier = "EV" + text;
        if (i % 4 == 0)
            o.payments.clear();
        orders.append(o);
    }
    const QByteArray good = *OrderCodec::encodeOrders(orders);
    QList<QByteArray> elements;
    auto agrees = [&](const QByteArray& json, bool* taken) {
        const auto fast = OrderCodec::decodeStoredOrders(json, elements);
        const auto general = OrderCodec::decodeOrders(json);
        if (!(fast == general) || elements.size() != (fast ? fast->size() : elements.size()))
            return false;
        *taken = !elements.isEmpty() && !elements.first().isEmpty();
        for (qsizetype i = 0; fast && i < fast->size(); ++i) {
            if (!elements[i].isEmpty() && elements[i] != OrderCodec::encodeOrder((*fast)[i]))
                return false;
        }
        return true;
    };
    bool taken = false;
    ASSERT_TRUE(agrees(good, &taken));
    EXPECT_TRUE(taken);
    EXPECT_EQ(OrderCodec::joinArray(elements), good);
    ASSERT_TRUE(agrees(arrayBytes({storedOrder()}), &taken));
    EXPECT_FALSE(taken);

    int fast = 0;
    QByteArrayList disagreeing;
    for (const QByteArray& bad : corruptions(good, 4000, 29)) {
        if (!agrees(bad, &taken))
            disagreeing.append(bad);
        fast += taken ? 1 : 0;
    }
    EXPECT_TRUE(disagreeing.isEmpty()) << disagreeing.size() << " like " << disagreeing.value(0).constData();
    EXPECT_GT(fast, 50);
}

}
