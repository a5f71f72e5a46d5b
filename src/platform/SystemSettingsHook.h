#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// "Open the system settings page for a permission". Calendars need no
// permission on Linux, so that page only logs. Notifications can be switched
// off per program in the desktop's settings: where the desktop has such a
// page (GNOME, KDE Plasma) it opens; elsewhere the caller gets a text saying
// where to turn notifications on. Tests install a handler that records the
// call, or a launcher, so no real program starts.
class SystemSettingsHook
{
public:
    enum class Page {
        CalendarPrivacy,   // anchor "Privacy_Calendars"
        Notifications,     // anchor "Notifications"
    };
    using Handler = std::function<void(Page page, const QString& anchor)>;
    // Starts `command` (program and arguments) detached; false when it could not start.
    using Launcher = std::function<bool(const QStringList& command)>;
    // Where a program is found on the PATH (empty when it is not there).
    using Finder = std::function<QString(const QString& program)>;

    static QString anchor(Page page);
    // The desktop's settings program for `page` under `desktop` (the value of
    // XDG_CURRENT_DESKTOP), when it has one and it is installed.
    static QStringList settingsCommand(Page page, const QString& desktop, const Finder& find);
    // Opens the page. Returns what to tell the user when nothing could be
    // opened (empty when a page opened or there is nothing to say).
    static QString open(Page page);
    // Installs `handler` (an empty one restores the default) and returns the
    // previous one. Main thread only.
    static Handler setHandler(Handler handler);
    static Launcher setLauncher(Launcher launcher);
};
