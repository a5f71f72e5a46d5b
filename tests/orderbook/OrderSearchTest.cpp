#include "OrderbookFixture.h"

#include "orderbook/OrderSearch.h"

using OrderSearchTest = OrderbookFixture;

TEST_F(OrderSearchTest, MatchesNameOrPhoneIgnoringCaseInOrder)
{
    Order anna = order("Anna Lee", local(2026, 3, 1), 100);
    Order wang = order("王女士", local(2026, 3, 2), 100);
    wang.phone = "13912345678";
    const QList<Order> all{anna, wang};
    struct Row { QString text; QStringList names; };
    const Row rows[] = {
        {"", {"Anna Lee", "王女士"}},
        {"anna", {"Anna Lee"}},
        {"LEE", {"Anna Lee"}},
        {"1234", {"王女士"}},
        {"女士", {"王女士"}},
        {"138", {"Anna Lee"}},
        {"nobody", {}},
    };
    for (const Row& r : rows) {
        QStringList got;
        for (const Order& o : orderMatchesSearch(all, r.text))
            got.append(o.customerName);
        EXPECT_EQ(got, r.names) << r.text.toStdString();
    }
}
