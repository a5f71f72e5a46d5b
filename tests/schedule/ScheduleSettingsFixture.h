#pragma once

#include "orderbook/CalendarSyncFixture.h"
#include "orderbook/PackageManager.h"
#include "orderbook/OrderbookKeys.h"
#include "schedule/ScheduleKeys.h"
#include "schedule/ScheduleSettingsState.h"

#include <QTest>

// The settings state over real stores, an in-memory calendar and the
// calendar sync of the order book's fixture; system settings pages recorded.
class ScheduleSettingsFixture : public CalendarSyncFixture
{
protected:
    void SetUp() override
    {
        CalendarSyncFixture::SetUp();
        packages = std::make_unique<PackageManager>(*store);
        makeState();
        previousHandler = SystemSettingsHook::setHandler(
            [this](SystemSettingsHook::Page page, const QString&) { pagesOpened.append(page); });
    }
    void TearDown() override
    {
        SystemSettingsHook::setHandler(previousHandler);
        state.reset();
        CalendarSyncFixture::TearDown();
    }
    void makeState()
    {
        state.reset();
        state = std::make_unique<ScheduleSettingsState>(*store, *orders, *packages, *manager, *notifications);
    }
    // Permission answers and result steps run on later turns of the loop.
    static void answers() { QTest::qWait(50); }

    std::unique_ptr<PackageManager> packages;
    std::unique_ptr<ScheduleSettingsState> state;
    QList<SystemSettingsHook::Page> pagesOpened;
    SystemSettingsHook::Handler previousHandler;
};
