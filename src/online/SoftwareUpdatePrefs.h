#pragma once

#include <QString>
#include <QTimeZone>

class UpdateChecker;

// The update preferences, read the same way by the screen and the main window.
namespace SoftwareUpdatePrefs {
// "autoCheckUpdate"; true when absent or not a switch value.
bool autoCheckEnabled();
void setAutoCheckEnabled(bool on);
// Seconds since 1970 of the last finished check; 0 when none.
double lastCheckTimestamp();
// Stores the current time as the last check.
void recordCheckTime();
// "yyyy年M月d日 HH:mm" in `zone`, or "尚未检查" while no time above 0 is stored.
QString lastCheckText(const QTimeZone& zone = QTimeZone::systemTimeZone());
}

namespace SoftwareUpdateAutoCheck {
// Starts a check on `checker` when automatic checking is on.
void runIfNeeded(UpdateChecker* checker);
}
