#pragma once

#include "platform/SystemSettingsHook.h"

#include <QString>

// Opens an address given as text: the system settings pages of the calendar
// and notification permissions through SystemSettingsHook, web addresses in
// the desktop's browser, anything else nowhere. Nothing is reported back.
void openURLInWorkspace(const QString& address);
// Opens a settings page of the desktop; where there is none, a message says
// where to make the setting.
void openSystemSettingsPage(SystemSettingsHook::Page page);

namespace WorkspaceUrl {
inline constexpr const char* calendarPrivacy = "x-apple.systempreferences:com.apple.preference.security?Privacy_Calendars";
inline constexpr const char* notifications = "x-apple.systempreferences:com.apple.preference.notifications";
}
