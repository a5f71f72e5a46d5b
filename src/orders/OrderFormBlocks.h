#pragma once

#include <QString>

class PlateButton;
class QLineEdit;
class QWidget;
class RoundedPanel;
class ThemedLabel;

// The building blocks that give the order form one look.
namespace OrderFormBlocks {

// A titled card: 14 pt bold gold title over `content`; the statistics
// cards use the same frame with more room.
RoundedPanel* formSection(const QString& title, QWidget* content, QWidget* parent, int padding = 10,
                          int spacing = 8);
// A label over a rounded one-line input typed in the form's accent colour.
struct Field
{
    QWidget* widget = nullptr;
    QLineEdit* edit = nullptr;
};
Field formField(const QString& label, const QString& placeholder, QWidget* parent);
// A 12 pt label at 60% of the text colour.
QWidget* fieldLabel(const QString& text, QWidget* parent);
// The two answer faces of the form's sheets; both stretch to their share.
PlateButton* secondaryButtonLabel(const QString& title, QWidget* parent);
PlateButton* goldButtonLabel(const QString& title, QWidget* parent);
// A red, wrapping line that says why an action was refused; hidden until
// it has a text.
ThemedLabel* problemLine(const QString& name, QWidget* parent);
// Shows `reason` in `line`, or hides it when `reason` is empty; a line
// that has shown a reason keeps its room when hidden.
void showProblem(ThemedLabel* line, const QString& reason);
// A thin white-at-10% divider with 8 above and below.
QWidget* divider(QWidget* parent);

}
