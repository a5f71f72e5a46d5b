#include "SystemSettingsHook.h"

#include "Log.h"

namespace {
SystemSettingsHook::Handler& installed()
{
    static SystemSettingsHook::Handler handler;
    return handler;
}
}

QString SystemSettingsHook::anchor(Page page)
{
    switch (page) {
    case Page::CalendarPrivacy:
        return QStringLiteral("Privacy_Calendars");
    case Page::Notifications:
        return QStringLiteral("Notifications");
    }
    return {};
}

void SystemSettingsHook::open(Page page)
{
    if (const Handler& handler = installed()) {
        handler(page, anchor(page));
        return;
    }
    Log::line(QStringLiteral("[SystemSettings] 本系统没有对应的权限设置页面，未打开：") + anchor(page));
}

SystemSettingsHook::Handler SystemSettingsHook::setHandler(Handler handler)
{
    Handler previous = std::move(installed());
    installed() = std::move(handler);
    return previous;
}
