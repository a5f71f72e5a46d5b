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

// Fixed in both themes: titles and prompts of the file tools.
QColor accentOrange();

// A style sheet for popup menus in the theme in force (a menu opened by a
// click is built anew, so it reads the theme then).
QString menuStyleSheet();

// `c` with its alpha multiplied by `opacity`.
QColor withOpacity(QColor c, qreal opacity);
}
