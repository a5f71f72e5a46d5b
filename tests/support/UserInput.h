#pragma once

#include <QPoint>
#include <QString>
#include <Qt>

class QMenu;
class QWidget;

// Input as a user gives it: mouse events go to the top-level window at the
// target's mapped position, so they reach whatever widget is really there (a
// parent that covers a button, a row transparent for the mouse). When the
// widget under that point is neither the target nor inside it, the running
// test fails: the user could not have reached the target.
namespace UserInput {
// Clicks `target` at `at` (its own coordinates; its centre when null).
void click(QWidget* target, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint(),
           Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void doubleClick(QWidget* target, QPoint at = QPoint());
// Rests the mouse on `target` at `at` (its centre when null) until a tooltip
// shows, and returns the tooltip's text; empty when none shows.
QString hover(QWidget* target, QPoint at = QPoint());
// Clicks `target` to give it focus, then types `text` into the focus widget.
void type(QWidget* target, const QString& text);
// Turns the mouse wheel over `target` at `at` (its centre when null) by
// `notches` (positive away from the user, which scrolls up), as a mouse
// sends it: to the window, which hands it to the widget under the pointer
// and on to its parents while they decline it.
void wheel(QWidget* target, int notches, QPoint at = QPoint());
// One key press to the window's focus widget, as the keyboard sends it.
void key(QWidget* anyInWindow, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Presses the key of each ASCII character of `text` (digits, '-', '/') in
// turn, to whichever widget has the focus then.
void keys(QWidget* anyInWindow, const QString& text);
// Clicks the enabled action whose text (without '&' marks) is `text` in the
// open popup menu; fails the test when there is no popup or no such action.
void chooseMenuItem(const QString& text);
// The same in a given menu, shown or not (it is shown at its position first).
void chooseMenuItem(QMenu* menu, const QString& text);
// Scrolls every scroll area holding `target` until it is in view, as a user
// scrolls to a row before clicking it.
void scrollIntoView(QWidget* target);
// The widget a click at `target`'s point would reach, or null.
QWidget* widgetUnder(QWidget* target, QPoint at = QPoint());
// Scrolls to `target`, then clicks it, as a user does further down a page.
void clickInView(QWidget* target);
// Whether all of `target` lies inside the view of every scroll area holding it.
bool wholeInView(const QWidget* target);
// The shown top-level window (a sheet, an alert) with this object name, or
// null after failing the test.
QWidget* shownWindow(const QString& objectName);
// Waits until every animation of `window` that ends (fades, slides, eased
// levels; not a blinking caret) has ended: what a user sees once it settles.
void waitForAnimations(QWidget* window, int timeoutMs = 5000);
}
