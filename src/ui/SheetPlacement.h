#pragma once

#include <QSize>

class QWidget;

// Where a large sheet opens: over the middle of the window it belongs to, no
// taller than that window nor than the screen can show with the sheet's
// title bar, so the title bar and its buttons are always within reach.
namespace SheetPlacement {
// Sizes `sheet` to `preferred`, cut down to fit, and moves it into place.
// Call it before the sheet is first shown.
void fit(QWidget* sheet, QSize preferred);
}
