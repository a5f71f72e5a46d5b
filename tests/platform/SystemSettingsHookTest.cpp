#include "FakeProgram.h"
#include "platform/Log.h"
#include "platform/SystemSettingsHook.h"

#include <gtest/gtest.h>

using Page = SystemSettingsHook::Page;

TEST(SystemSettingsHookTest, NotificationSettingsOpenWhereTheDesktopHasThem)
{
    const QStringList installed{"gnome-control-center", "systemsettings"};
    const auto find = [&](const QString& program) { return installed.contains(program) ? "/usr/bin/" + program : QString(); };
    const auto none = [](const QString&) { return QString(); };
    const struct {
        const char* desktop;
        Page page;
        bool programs;
        QStringList command;
    } cases[] = {
        {"GNOME", Page::Notifications, true, {"/usr/bin/gnome-control-center", "notifications"}},
        {"ubuntu:GNOME", Page::Notifications, true, {"/usr/bin/gnome-control-center", "notifications"}},
        {"KDE", Page::Notifications, true, {"/usr/bin/systemsettings", "kcm_notifications"}},
        {"GNOME", Page::Notifications, false, {}}, // the desktop's name, but no settings program
        {"XFCE", Page::Notifications, true, {}},
        {"", Page::Notifications, true, {}},
        {"GNOME", Page::CalendarPrivacy, true, {}}, // calendars need no permission here
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.desktop) + (c.programs ? "" : " without programs"));
        EXPECT_EQ(SystemSettingsHook::settingsCommand(c.page, c.desktop,
                                                      c.programs ? SystemSettingsHook::Finder(find) : none),
                  c.command);
    }
}

TEST(SystemSettingsHookTest, OpeningStartsTheProgramOrSaysWhereToLook)
{
    QStringList started;
    bool starts = true;
    SystemSettingsHook::setLauncher([&](const QStringList& command) {
        started << command.join(' ');
        return starts;
    });
    QStringList lines;
    Log::setSink([&](const QString& line) { lines << line; });

    // No desktop settings here: the user is told where to look.
    qputenv("XDG_CURRENT_DESKTOP", "XFCE");
    const QString hint = SystemSettingsHook::open(Page::Notifications);
    EXPECT_TRUE(hint.contains("系统设置") && hint.contains("通知")) << hint.toStdString();
    EXPECT_TRUE(started.isEmpty());

    // KDE with its settings program on the PATH (a stand-in, never run).
    const QString program = installFakeProgram("systemsettings");
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    EXPECT_TRUE(SystemSettingsHook::open(Page::Notifications).isEmpty());
    EXPECT_EQ(started, QStringList{program + " kcm_notifications"});
    starts = false; // a program that fails to start is no opened page
    EXPECT_FALSE(SystemSettingsHook::open(Page::Notifications).isEmpty());

    // The calendar page only logs.
    EXPECT_TRUE(SystemSettingsHook::open(Page::CalendarPrivacy).isEmpty());
    EXPECT_TRUE(lines.last().endsWith("Privacy_Calendars"));
    Log::setSink({});
    SystemSettingsHook::setLauncher({});

    QStringList opened;
    SystemSettingsHook::setHandler([&](Page, const QString& anchor) { opened << anchor; });
    SystemSettingsHook::open(Page::CalendarPrivacy);
    SystemSettingsHook::open(Page::Notifications);
    EXPECT_EQ(opened, (QStringList{"Privacy_Calendars", "Notifications"}));
    SystemSettingsHook::setHandler({});
}
