#pragma once

#include "platform/PreferenceKey.h"

// Preferences of the online services.
namespace OnlineKeys {
inline constexpr PreferenceKey<bool> autoCheckUpdate{"autoCheckUpdate", true};
// The version whose update hint the user has seen; empty while an unseen update is known.
inline constexpr StoredKey seenUpdateHint{"seenUpdateHint"};
inline constexpr PreferenceKey<bool> hasNewReply{"hasNewReply", false};
// Menu titles switched off remotely, and the features' descriptions.
inline constexpr StoredKey remoteHiddenFeatures{"remote_hidden_features"};
inline constexpr StoredKey remoteFeatureDescs{"remote_feature_descs"};
// Seconds since 1970 of the last finished version check.
inline constexpr StoredKey lastUpdateCheckTime{"lastUpdateCheckTime"};
// The changelog as the popup last showed it.
inline constexpr StoredKey changelogCache{"changelogCache"};
// This installation's anonymous usage id, and its separate feedback id.
inline constexpr StoredKey statsDeviceId{"stats_device_id"};
inline constexpr StoredKey feedbackDeviceId{"feedback_device_id"};
// The chat as kept on this machine, and the time of the author's last message read.
inline constexpr StoredKey localFeedbackMessages{"local_feedback_messages"};
inline constexpr StoredKey feedbackLastReadReply{"feedback_last_read_reply"};
// Followed by the first 20 characters of a reply once that reply was noticed.
inline constexpr const char* kSeenReplyPrefix = "seen_reply_";

inline QList<PreferenceEntry> entries()
{
    return {entry(autoCheckUpdate), entry(seenUpdateHint), entry(hasNewReply), entry(remoteHiddenFeatures),
            entry(remoteFeatureDescs), entry(lastUpdateCheckTime), entry(changelogCache), entry(statsDeviceId),
            entry(feedbackDeviceId), entry(localFeedbackMessages), entry(feedbackLastReadReply)};
}
}
