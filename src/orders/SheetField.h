#pragma once

#include <QColor>
#include <QString>

#include <functional>

class QBoxLayout;
class QLineEdit;
class QWidget;

// A labelled single-line field of the package sheets: a 12 pt label over a
// rounded input whose typed text and caret take the fixed accent colour.
QLineEdit* addSheetField(QBoxLayout* into, const QString& label, const QString& text, QWidget* parent);
// The accent of typed text in the order and package forms.
QColor formAccentColor();
// Restyles `edit` as a rounded accent field on the search colour.
void styleAccentField(QLineEdit* edit, int fontSize = 13);
// The border of a field: red while the field holds an amount that cannot
// be stored (see watchAmount), transparent otherwise.
QString fieldBorder(const QLineEdit* edit);
// Marks `edit` invalid (red border, the reason as its tool tip) whenever its
// text is not an amount that may be stored; `restyle` redraws its style.
void watchAmount(QLineEdit* edit, std::function<void()> restyle);
// watchAmount for a field styled by styleAccentField.
void watchAccentAmount(QLineEdit* edit);
