#pragma once

#include <QColor>
#include <QString>

class QBoxLayout;
class QLineEdit;
class QWidget;

// A labelled single-line field of the package sheets: a 12 pt label over a
// rounded input whose typed text and caret take the fixed accent colour.
QLineEdit* addSheetField(QBoxLayout* into, const QString& label, const QString& text, QWidget* parent);
// The accent of typed text in the order and package forms, in both themes.
QColor formAccentColor();
// Restyles `edit` as a rounded accent field on the search colour.
void styleAccentField(QLineEdit* edit, int fontSize = 13);
