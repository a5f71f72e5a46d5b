#pragma once

#include "online/UpdateResult.h"

#include <QString>

#include <optional>

// The version file "version.txt": line 1 the latest version, line 2 its
// download address, then the changelog, newest version first.
namespace VersionFile {
// Whether the first non-blank line reads as a version number ("2.1",
// "V2.1"): anything else, such as a login page a hotel network answers
// with, is not a version file.
bool isVersionFile(const QString& text);

// The check's verdict for the running `localVersion`. Blank lines do not
// count; a leading "V" or "v" of line 1 is no part of the version, whose
// parts compare as numbers ("3.6.0-beta" reads 3.6); the log is the newest version's block (a line starting "V" without
// "•" starts the next block), or "最新版本，欢迎更新" when there is none.
UpdateResult evaluate(const QString& text, const QString& localVersion);

// The whole history shown by the changelog views: every line after the
// second non-empty one, blank lines inside kept as gaps, blank lines at
// either end dropped. Nothing when no such line exists.
std::optional<QString> changelog(const QString& text);

// 1 when `a` is newer, -1 when older, 0 when the same. Only the dot-separated
// parts that read as whole integers count; a missing part counts as 0.
int compareVersions(const QString& a, const QString& b);
}
