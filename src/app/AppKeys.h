#pragma once

#include "platform/PreferenceKey.h"

// Preferences of the main window.
namespace AppKeys {
// Whether the sidebar's FTP entry can be clicked; nothing in the app writes it.
inline constexpr PreferenceKey<bool> ftpFeatureEnabled{"ftpFeatureEnabled", true};

// The main window's place and size at the last quit: x, y, width, height, maximized.
inline constexpr StoredKey mainWindowGeometry{"mainWindowGeometry"};

inline QList<PreferenceEntry> entries() { return {entry(ftpFeatureEnabled), entry(mainWindowGeometry)}; }
}
