#pragma once

#include <QAbstractButton>
#include <QString>

#include <functional>

class QHBoxLayout;
class QLabel;
class QScrollArea;
class QVBoxLayout;
class QWidget;
class ThemedLabel;

// Small pieces shared by the sections of the schedule settings sheet.
namespace SettingsSheetParts {

using ColorFn = std::function<QColor()>;

// Symbol at 14 in gold, 8 apart from the title at 14.
QWidget* rowTitle(const QString& symbol, const QString& title, ColorFn titleColor, bool medium = false,
                  QWidget* parent = nullptr);
// An explanatory line at 11 in the text colour at 50 %.
ThemedLabel* subtitle(const QString& text, QWidget* parent = nullptr);
// A symbol glyph in a theme colour.
ThemedLabel* symbol(const QString& name, qreal size, ColorFn color, QWidget* parent = nullptr);
// The disclosure chevron: white at 85 % in the dark theme, else text at 40 %.
QColor chevronColor();
// Disabled and drawn at 40 % while `dimmed`.
void setDimmed(QWidget* widget, bool dimmed);
qreal opacityOf(const QWidget* widget);
// Scrolls `target` into view at the bottom of its scroll area 0.1 s later,
// on a timer owned by `owner`.
void scrollIntoViewSoon(QObject* owner, QWidget* target);

// An editable list of the sheet: a vertical scroll area over a see-through
// column that starts with the rows' own layout; what follows the rows (an
// input row, an add button) goes into `column` after them.
struct RowList {
    QScrollArea* scroll;
    QVBoxLayout* column;
    QVBoxLayout* rows;
};
RowList rowList(QWidget* parent, const QMargins& margins, int spacing);
// A list row's line: 10 in from the sides, 8 from top and bottom.
QHBoxLayout* rowLayout(QWidget* row, int spacing);
// Takes every row out of the list at once and deletes it later: the control
// whose change caused the rebuild may still be inside its signal.
void discardRows(QVBoxLayout* rows);
// Replaces the rows with those `addRows` adds, where the user is: every
// scroll area around them keeps its place, and the focus goes to `focus`
// when it gives one, else back to the same control of the same row.
void rebuildRowsInPlace(QVBoxLayout* rows, const std::function<void()>& addRows,
                        const std::function<QWidget*()>& focus = {});

}

// A plain button drawn as a settings card: its child widgets form the label
// and never take the click.
class CardButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit CardButton(QWidget* parent = nullptr);
    // Adds a label widget to the card's row (made transparent to the mouse).
    void addToRow(QWidget* widget, int stretch = 0);
    void addStretch();
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
