#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

#include <sys/types.h>

// Giving files their names in folders that others write too: a finished file
// never replaces what is there, and temporary files a crash left behind can
// be told from those still being written.
namespace FileNaming {
// Names `from` as `to` unless `to` exists. Returns 0, or the errno (EEXIST
// when the name is taken).
int renameNoReplace(const QByteArray& from, const QByteArray& to);
// Marks an open temporary file as being written, for `removeUnheld`; the mark
// goes with the descriptor's close.
void hold(int fd);
// Creates the file `path` for writing (never replacing one) and holds it as
// `hold` does before it shows in its folder, so no sweep of this process or
// another can take it in between. Where the filesystem cannot create a file
// unnamed, it is named first and held at once. Returns the descriptor, or -1
// with errno (EEXIST when the name is taken).
int createHeld(const QByteArray& path, mode_t mode);
// For tests: runs in `createHeld` after the file was created and before it is
// held; an empty hook ends it.
void setCreateHook(std::function<void()> hook);
// Removes the regular files in `folder` whose names `isOurs` accepts and that
// no running writer holds. Returns how many went.
int removeUnheld(const QString& folder, const std::function<bool(const QString& name)>& isOurs);
}
