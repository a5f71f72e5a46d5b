#pragma once

#include <QString>

#include <optional>

// Deployment settings of the online services. No address is built in: each
// comes from the environment, else from "online.conf" in the app's config
// folder, and is read again whenever a request is formed, so an edit needs
// no restart. A service without its settings stays inactive.
namespace OnlineConfig {
inline constexpr const char* kFileName = "online.conf";
inline constexpr const char* kRemoteBaseEnv = "TESSARY_REMOTE_BASE";

// The endpoint of the remote files, always ending in "/"; nothing when unset.
std::optional<QString> remoteBase();
// The endpoint base followed by `name`, joined as plain text.
std::optional<QString> remoteAddress(const QString& name);

// `envName` from the environment, else `key` of `group` in the config file;
// trimmed, nothing when empty.
std::optional<QString> setting(const char* envName, const QString& group, const QString& key);
QString filePath();
}
