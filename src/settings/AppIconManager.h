#pragma once

#include "settings/AppIconStyle.h"

#include <QImage>

// The application icon: drawing each style and setting the running icon.
namespace AppIconManager {

// The stored style; classic when absent or unknown.
AppIconStyle savedStyle();
// Sets the running application's icon to the saved style at 512, and from
// then on follows the stored style when something else changes it (a
// restored backup): the running icon and, when allowed, the launcher's.
void applySaved();
// True while nothing is stored under "launchpadSync", else its stored reading.
bool launchpadSyncEnabled();
// Stores `style`, sets the running icon and, when allowed, queues the
// launcher icon sync; returns at once.
void apply(AppIconStyle style);
// A new square image of the icon in `style`, `size` pixels on each side.
QImage makeImage(AppIconStyle style, int size);
}
