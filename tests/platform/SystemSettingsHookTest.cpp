#include "platform/Log.h"
#include "platform/SystemSettingsHook.h"

#include <gtest/gtest.h>

TEST(SystemSettingsHookTest, LogsByDefaultAndRecordsThroughAnInstalledHandler)
{
    QStringList lines;
    Log::setSink([&](const QString& line) { lines << line; });
    SystemSettingsHook::open(SystemSettingsHook::Page::CalendarPrivacy);
    Log::setSink({});
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().endsWith("Privacy_Calendars"));

    QStringList opened;
    SystemSettingsHook::setHandler([&](SystemSettingsHook::Page, const QString& anchor) { opened << anchor; });
    SystemSettingsHook::open(SystemSettingsHook::Page::CalendarPrivacy);
    SystemSettingsHook::open(SystemSettingsHook::Page::Notifications);
    EXPECT_EQ(opened, (QStringList{"Privacy_Calendars", "Notifications"}));
    SystemSettingsHook::setHandler({});
}
