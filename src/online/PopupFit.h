#pragma once

#include <QScrollArea>
#include <QString>

class PlateButton;
class QDialog;
class QFont;
class QLabel;

// The popups that show texts from the server. However much text arrives,
// such a popup stays inside the free area of its screen and its parent
// window, its title and buttons stay in sight with the text scrolling
// between them, and a line too long for its row is cut with an ellipsis,
// the whole text in the row's tooltip.
namespace PopupFit {
// From now on `popup` takes the size its layout asks for, bounded by the
// room, at its showing and at every change of its content, and shows
// centred over its parent window within that room.
void keepInRoom(QDialog* popup);
// Where a popup over `parent` may lie, frame included: the free area of the
// screen, within the parent's window when one is shown.
QRect room(const QWidget* parent);
// `button` shows `text` on one line within `width` (plate included).
void setElidedText(PlateButton* button, const QString& text, int width);
// `label`, word-wrapping, shows `text` within `width`: a line holding a run
// too long to wrap (an address) is cut instead of running off the edge.
void setWrappedText(QLabel* label, const QString& text, int width);
}

// The text region of such a popup, `width` wide, in the online screens' text
// area style, scrolling `content` up and down. It asks for the content's whole
// height, up to `maxHeight`, so its popup grows with the text until the room
// runs out; then it yields and scrolls.
class FittingScrollArea : public QScrollArea
{
public:
    FittingScrollArea(QWidget* content, int width, QWidget* parent, int maxHeight = QWIDGETSIZE_MAX);
    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_maxHeight;
};
