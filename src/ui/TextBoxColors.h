#pragma once

#include <QColor>

#include <functional>

class QWidget;

// The colours a text box types and hints in, taken from the theme and read
// again at every theme change. A faint colour is lifted like every faint
// text (AppTheme::readableText) until it reads on the box.
void paintTextBox(QWidget* box, std::function<QColor()> typed, std::function<QColor()> hint);
