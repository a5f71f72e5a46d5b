#pragma once

#include "platform/Product.h"

#include <QFileDevice>
#include <QString>

namespace Paths {
// The product's folder name inside the data folder.
inline constexpr const char* kProductFolder = Product::kDisplayName;

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

// Replaces `path` with `bytes` all at once: the folder is made, the bytes go
// to a temporary file that is renamed into place, and the folder is synced.
// Returns the error text, empty on success; a failure leaves the old file.
// `permissions`, when given, hold from the first byte on.
QString saveAtomically(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions = {});
}
