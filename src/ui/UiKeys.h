#pragma once

#include "platform/PreferenceKey.h"

// Preferences of the shared look.
namespace UiKeys {
// "dark" or "light"; anything else (or nothing) is dark.
inline constexpr StoredKey appThemeStyle{"appThemeStyle"};
// The first column of every calendar the app draws: Monday, else Sunday.
// Set on the schedule screen, which also lists it among its preferences.
inline constexpr PreferenceKey<bool> weekStartsOnMonday{"weekStartsOnMonday", true};

inline QList<PreferenceEntry> entries() { return {entry(appThemeStyle)}; }
}
