#pragma once

#include "platform/PreferenceKey.h"

// Preferences of the settings screen.
namespace SettingsKeys {
// An icon style's raw name; unknown or absent is classic.
inline constexpr StoredKey appIconStyle{"appIconStyle"};
// Whether a new icon style is also installed for the launcher.
inline constexpr PreferenceKey<bool> launchpadSync{"launchpadSync", true};
// The screen shown at start, by its title (older titles are still understood).
inline constexpr StoredKey defaultLaunchPage{"defaultLaunchPage"};

inline QList<PreferenceEntry> entries()
{
    return {entry(appIconStyle), entry(launchpadSync), entry(defaultLaunchPage)};
}
}
