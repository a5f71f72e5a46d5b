#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

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
// Removes the regular files in `folder` whose names `isOurs` accepts and that
// no running writer holds. Returns how many went.
int removeUnheld(const QString& folder, const std::function<bool(const QString& name)>& isOurs);
}
