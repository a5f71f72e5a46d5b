#pragma once

#include <QString>

// The reminder agent "tessary-reminders": shows the pending local
// notifications while the app is closed. One runs per session, holding
// `UserNotificationCenter::kAgentService` on the session bus; the app starts
// it and has the desktop start it at login while local notifications are on.
class ReminderAgent
{
public:
    static constexpr const char* kExecutableName = "tessary-reminders";

    // The agent's main. Returns 0 when the session's bus goes away, whenever
    // that happens, and at once when another agent holds the name; 1 when
    // there is no session bus or it refuses the name.
    static int run();

    // The agent program: beside the running program, else on PATH; empty
    // when there is none. Tests point it elsewhere.
    static QString executablePath();
    static void setExecutablePath(const QString& path);
    // "~/.config/autostart/tessary-reminders.desktop".
    static QString autostartPath();

    // At launch: the autostart entry follows the switch, and an agent is
    // started when the switch is on and none runs.
    static void applyAtLaunch(bool localNotificationsOn);
    // When "scheduleLocalNotificationEnabled" changes: on writes the entry and
    // starts an agent; off removes it (the calendar sync withdraws the
    // reminders).
    static void localNotificationsSwitched(bool on);

private:
    static bool setAutostart(bool enabled);
    static void startIfNotRunning();
};
