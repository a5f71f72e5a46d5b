#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Deployment settings of the online services. No address is built in: each
// comes from the environment, else from "online.conf" in the app's config
// folder, and is read again whenever a request is formed, so an edit needs
// no restart. A service without its settings stays inactive.
namespace OnlineConfig {
inline constexpr const char* kFileName = "online.conf";
inline constexpr const char* kRemoteBaseEnv = "TESSARY_REMOTE_BASE";
inline constexpr const char* kStatsEndpointEnv = "TESSARY_STATS_ENDPOINT";
inline constexpr const char* kStatsSecretIdEnv = "TESSARY_STATS_SECRET_ID";
inline constexpr const char* kStatsSecretKeyEnv = "TESSARY_STATS_SECRET_KEY";
inline constexpr const char* kInboxEnv = "TESSARY_FEEDBACK_INBOX";
inline constexpr const char* kInboxTokenEnv[2] = {"TESSARY_FEEDBACK_TOKEN_1", "TESSARY_FEEDBACK_TOKEN_2"};

// The bucket that takes usage uploads and the account that signs them.
struct StatsUpload {
    QString scheme;    // "https" (or "http" for a local server)
    QString host;      // host[:port], exactly as the "Host" header and the signature carry it
    QString secretId;
    QString secretKey;
};
// The feedback inboxes: one service, one token per inbox, in the order of trial.
struct FeedbackInbox {
    QString base;      // scheme://host[:port][/path], no trailing "/"
    QStringList tokens;
};

// The endpoint of the remote files, always ending in "/"; nothing when unset.
std::optional<QString> remoteBase();
// The endpoint base followed by `name`, joined as plain text.
std::optional<QString> remoteAddress(const QString& name);

// Complete settings or nothing: a missing secret, an address that is not an
// http(s) host (the inbox may carry a path), or no token leaves the service
// inactive.
std::optional<StatsUpload> statsUpload();
std::optional<FeedbackInbox> feedbackInbox();

// `envName` from the environment, else `key` of `group` in the config file;
// trimmed, nothing when empty.
std::optional<QString> setting(const char* envName, const QString& group, const QString& key);
QString filePath();
}
