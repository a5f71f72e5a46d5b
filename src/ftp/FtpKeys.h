#pragma once

#include "platform/PreferenceKey.h"

// Preferences of the camera upload server.
namespace FtpKeys {
inline constexpr PreferenceKey<bool> allowVideo{"ftpAllowVideo", true};
inline constexpr PreferenceKey<int> port{"ftpPort", 2121};
inline const PreferenceKey<QString> username{"ftpUsername", QStringLiteral("482917")};
inline const PreferenceKey<QString> password{"ftpPassword", QStringLiteral("482917")};
// The upload folder as a plain absolute path; empty until one is chosen.
inline constexpr StoredKey rootPath{"ftpRootPath"};
inline constexpr StoredKey rootDirectory{"ftpRootDirectory"};
inline constexpr StoredKey anonymousAccess{"ftpAnonymousAccess"};
// "读写", "只读" or "禁用".
inline const PreferenceKey<QString> userPerm{"ftpUserPerm", QStringLiteral("读写")};
inline const PreferenceKey<QString> anonPerm{"ftpAnonPerm", QStringLiteral("禁用")};

inline QList<PreferenceEntry> entries()
{
    return {entry(allowVideo),    entry(port),     entry(username), entry(password),
            entry(rootPath), entry(rootDirectory), entry(anonymousAccess), entry(userPerm), entry(anonPerm)};
}
}
