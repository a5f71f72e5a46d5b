#pragma once

#include <QString>

#include <functional>

// "Open the system settings page for a permission". Linux has no such page
// (calendars and notifications need no permission here), so by default the
// call only logs; tests install a handler that records it.
class SystemSettingsHook
{
public:
    enum class Page {
        CalendarPrivacy,   // anchor "Privacy_Calendars"
        Notifications,     // anchor "Notifications"
    };
    using Handler = std::function<void(Page page, const QString& anchor)>;

    static QString anchor(Page page);
    static void open(Page page);
    // Installs `handler` (an empty one restores the logging default) and
    // returns the previous one. Main thread only.
    static Handler setHandler(Handler handler);
};
