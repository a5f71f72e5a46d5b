#pragma once

// Preferences of the software update screen.
namespace SoftwareUpdatePrefs {
inline constexpr const char* kAutoCheckKey = "autoCheckUpdate";
// "autoCheckUpdate"; true when the key is absent.
bool autoCheckEnabled();
}
