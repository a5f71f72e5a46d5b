#pragma once

#include <QString>

namespace Paths {
// The product's folder name inside the data folder.
inline constexpr const char* kProductFolder = "Kelvara";

// XDG data folder + "Kelvara", created on demand.
QString dataDir();
// A subfolder of the data folder, created on demand.
QString dataSubdir(const QString& name);
// XDG config folder + "Kelvara", created on demand.
QString configDir();
// The user's desktop folder (home when there is none).
QString desktopDir();

// fsync a folder so a rename inside it survives a power cut.
void syncDirectory(const QString& dirPath);
}
