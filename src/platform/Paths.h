#pragma once

#include "platform/Product.h"

#include <QByteArrayView>
#include <QFileDevice>
#include <QList>
#include <QString>

#include <functional>

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

// The cause of a failed file operation in words a user reads ("磁盘空间不足"),
// for every errno value; never "Unknown error".
QString errorText(int error);

struct SaveOptions
{
    // Off for a folder the user chose: one that is gone is an error, not made again.
    bool makeFolder = true;
    // When given, they hold from the first byte on. Otherwise a file that is
    // replaced keeps its mode, and a new one gets the usual 0666 less umask.
    QFileDevice::Permissions permissions = {};
};

// Replaces `path` with `bytes` all at once: the bytes go to a new temporary
// file in the same folder, are synced, and the file is renamed into place;
// then the folder is synced. Returns the cause (errorText), empty on success;
// a failure removes the temporary file and leaves the old file as it was.
QString saveAtomically(const QString& path, QByteArrayView bytes, const SaveOptions& options = {});
// The same for a file made of `pieces`, written one after another without
// being joined first.
QString saveAtomically(const QString& path, const QList<QByteArrayView>& pieces, const SaveOptions& options = {});

// The steps of a save a test can make fail.
enum class SaveStep { Write, Sync, Close, Rename };
// Seen before each step of every save: a nonzero errno fails the step with
// it (EINTR makes the step be tried again). Before a write, `bytes` holds
// how many bytes are about to go; lowering it makes a short write.
using SaveHook = std::function<int(SaveStep step, qsizetype& bytes)>;
// For tests only; an empty hook ends it.
void setSaveHook(SaveHook hook);
}
