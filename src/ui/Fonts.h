#pragma once

#include <QFont>

// Text fonts: the documents' point sizes are device-independent pixels, set
// with setPixelSize so layouts match at any screen scale.
namespace Fonts {
QFont system(qreal pointSize, QFont::Weight weight = QFont::Normal);
QFont monospaced(qreal pointSize, QFont::Weight weight = QFont::Normal);
// Installs the CJK font as the application font (call once at start-up).
void installApplicationFont();
}
