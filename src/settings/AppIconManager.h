#pragma once

#include "settings/AppIconStyle.h"

#include <QImage>

// The application icon: drawing each style and setting the running icon.
namespace AppIconManager {
inline constexpr const char* kStyleKey = "appIconStyle";

// The stored style; classic when absent or unknown.
AppIconStyle savedStyle();
// Sets the running application's icon to the saved style at 512.
void applySaved();
// A new square image of the icon in `style`, `size` pixels on each side.
QImage makeImage(AppIconStyle style, int size);
}
