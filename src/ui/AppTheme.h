#pragma once

#include <QColor>

// An opaque sRGB colour from 0xRRGGBB.
QColor colorFromHex(quint32 hex, qreal opacity = 1.0);

// The palette of every screen. Each getter answers for the theme in force at
// the moment it is read; views never keep a colour.
namespace AppTheme {
bool isDark();

QColor textPrimary();
QColor textGold();
QColor gold();
QColor menuSelectedBackground();
QColor background();
QColor cardBackground();
QColor searchBackground();
QColor onGoldText();
QColor sidebarBackground();
QColor topBarBackground();
QColor textGoldDim();
QColor dropZoneBorder();
QColor pastDateBackground();
QColor menuTextNormal();

// Titles and prompts of the file tools, readable in either theme.
QColor accentOrange();

// A style sheet for popup menus in the theme in force (a menu opened by a
// click is built anew, so it reads the theme then).
QString menuStyleSheet();

// WCAG contrast ratio of two opaque colours (1 to 21).
double contrast(const QColor& a, const QColor& b);
// A text colour readable at 4.5:1 (WCAG AA): a faded (translucent) `text`
// gets just enough opacity, over `behind` when given, else over every
// surface of the theme. Opaque colours are the theme's own choice and pass.
QColor readableText(QColor text, const QColor& behind = QColor());

// `c` with its alpha multiplied by `opacity`.
QColor withOpacity(QColor c, qreal opacity);
}
