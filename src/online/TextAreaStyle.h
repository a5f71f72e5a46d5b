#pragma once

#include <QColor>

class QAbstractScrollArea;

// Read-only text boxes of the online screens: no frame, no fill of their own
// (the card shows through), text in `text`, a thin rounded scroll bar.
void styleTextArea(QAbstractScrollArea* area, const QColor& text);
