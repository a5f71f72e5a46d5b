#pragma once

#include "platform/Product.h"

#include <QByteArrayList>
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

struct SaveOptions
{
    // Off for a folder the user chose: one that is gone is an error, not made again.
    bool makeFolder = true;
    // When given, they hold from the first byte on.
    QFileDevice::Permissions permissions = {};
};

// Replaces `path` with `bytes` all at once: the bytes go to a temporary file
// that is renamed into place, and the folder is synced. Returns the error
// text, empty on success; a failure leaves the old file as it was.
QString saveAtomically(const QString& path, const QByteArray& bytes, const SaveOptions& options = {});
// The same for a file made of `pieces`, written one after another.
QString saveAtomically(const QString& path, const QByteArrayList& pieces, const SaveOptions& options = {});
}
