#pragma once

#include "EdsTestService.h"
#include "TestEnv.h"
#include "orderbook/CalendarSyncManager.h"

#include <QDir>

#include <gtest/gtest.h>

// A test of the schedule over the calendar service: no order-book calendar
// of an earlier test is left, and `root` is a folder of the test's own.
class ServiceSessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EdsTestService::instance().removeCalendars(CalendarSyncManager::calendarName());
        root = TestEnv::root() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        QDir().mkpath(root);
    }
    QString root;
};
