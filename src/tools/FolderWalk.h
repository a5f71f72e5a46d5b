#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// A depth-first walk below a folder on raw directory reads: hidden entries
// (names starting with '.') and everything inside hidden folders are never
// seen, links are reported as themselves and never followed. Paths are the
// file system's bytes, so names that are not valid UTF-8 survive the walk.
// Each folder's own entries come before its subfolders' entries.
namespace FolderWalk {

enum class Type { regular, directory, symlink, other };

// Every entry that is not a folder.
using EntryFn = std::function<void(const QByteArray& path, Type type)>;
// A folder about to be entered; false skips it and everything below it.
using EnterFn = std::function<bool(const QByteArray& path, const QByteArray& name)>;
// A folder that could not be read, or an entry whose type could not be read.
using ErrorFn = std::function<void(const QByteArray& path, int error)>;

// False when `root` itself cannot be read (nothing is reported then).
bool walk(const QString& root, const EntryFn& entry, const EnterFn& enter, const ErrorFn& error);

// Why an entry could not be read, in the user's words.
QString errorText(int error);
// The text after the last dot of a file name, lower-cased; empty without a dot.
QString lowerExtension(const QString& fileName);
// The file name without its last extension ("A.B.ARW" -> "A.B").
QString baseName(const QString& fileName);

}
