#pragma once

#include "platform/PreferenceKey.h"

// Preferences of the online services.
namespace OnlineKeys {
inline constexpr PreferenceKey<bool> autoCheckUpdate{"autoCheckUpdate", true};
// The version whose update hint the user has seen; empty while an unseen update is known.
inline constexpr StoredKey seenUpdateHint{"seenUpdateHint"};
inline constexpr PreferenceKey<bool> hasNewReply{"hasNewReply", false};
// Menu titles switched off remotely.
inline constexpr StoredKey remoteHiddenFeatures{"remote_hidden_features"};

inline QList<PreferenceEntry> entries()
{
    return {entry(autoCheckUpdate), entry(seenUpdateHint), entry(hasNewReply), entry(remoteHiddenFeatures)};
}
}
