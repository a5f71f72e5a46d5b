#pragma once

#include <QString>

// The running version, from the build.
namespace AppVersion {
// `raw`, or "3.5" when it is empty.
QString shortVersion(const QString& raw);
// The build's short version ("3.5" when the build has none).
QString shortVersion();
// "V" + the short version, as the version bar and the update hint store it.
QString currentVersionText();
}
