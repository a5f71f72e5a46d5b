#pragma once

#include <QColor>
#include <QStringList>

#include <utility>

class QImage;

class QWidget;

// The layout faults a user sees, for screenshot tests: a visible label or
// button that cannot show its whole text, two visible sibling widgets that
// overlap, and a widget that reaches outside its parent (cut off), except
// content scrolled inside a scroll area; text that a scroll area cuts off
// where it does not scroll, or a text box showing half a line at its bottom;
// text drawn below a 4.5:1 contrast with what lies behind it (WCAG AA),
// typed text and placeholders of text boxes included.
// A widget meant to lie over another
// (a badge, an outline) sets the property "layoutOverlay" to true; a text
// meant to lose its end or middle sets "layoutMayElide".
namespace LayoutCheck {
// The faults of `root` at its current size, one line each.
QStringList faults(QWidget* root);
// Only the typed text and placeholders of the text boxes the user can type
// into and sees whole; `checked` collects the boxes looked at.
QStringList textBoxFaults(QWidget* root, QStringList* checked = nullptr);
// A picture of text as a reader sees it: the colour most of it shows is
// the plate, the colour of strongest contrast with that is the ink.
std::pair<QColor, QColor> plateAndInk(const QImage& shot);
}

// Checks `window` at its current size and at its minimum size, then restores
// it; each fault found fails the running test.
void expectCleanLayout(QWidget* window);
