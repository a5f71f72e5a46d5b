#pragma once

#include "platform/PreferenceKey.h"

// Preferences of the order screens.
namespace OrdersKeys {
// Places the order form offers with one click.
inline constexpr StoredKey quickShootLocations{"quickShootLocations"};

inline QList<PreferenceEntry> entries() { return {entry(quickShootLocations)}; }
}
