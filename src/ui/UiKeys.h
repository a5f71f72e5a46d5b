#pragma once

#include "platform/PreferenceKey.h"

// Preferences of the shared look.
namespace UiKeys {
// "dark" or "light"; anything else (or nothing) is dark.
inline constexpr StoredKey appThemeStyle{"appThemeStyle"};

inline QList<PreferenceEntry> entries() { return {entry(appThemeStyle)}; }
}
