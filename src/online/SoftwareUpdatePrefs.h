#pragma once

// Preferences of the software update screen.
namespace SoftwareUpdatePrefs {
// "autoCheckUpdate"; true when the key is absent.
bool autoCheckEnabled();
}
