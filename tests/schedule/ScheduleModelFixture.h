#pragma once

#include "orderbook/OrderManager.h"
#include "orderbook/OrderbookFixture.h"
#include "schedule/CalendarBatchSelection.h"
#include "schedule/ScheduleCalendarModel.h"

// The calendar's model and its batch selection over a real order book.
class ScheduleModelFixture : public OrderbookFixture
{
protected:
    void SetUp() override
    {
        OrderbookFixture::SetUp();
        orders = std::make_unique<OrderManager>(*store);
        model = std::make_unique<ScheduleCalendarModel>(*orders, *store);
        selection = std::make_unique<CalendarBatchSelection>(*model);
    }

    std::unique_ptr<OrderManager> orders;
    std::unique_ptr<ScheduleCalendarModel> model;
    std::unique_ptr<CalendarBatchSelection> selection;
};
