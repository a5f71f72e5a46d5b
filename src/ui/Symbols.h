#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>

// Symbol names of the screens ("gearshape.fill") drawn as Material Design
// Icons glyphs, so they take any theme colour.
namespace Symbols {
// The glyph text for `name`; unknown names give a neutral fallback glyph.
QString glyph(const QString& name);
bool isKnown(const QString& name);
QString fontFamily();
// The icon font at a size in points (1 pt = 1 px).
QFont font(qreal pointSize);
// The glyph drawn in `color` on a transparent square of `size` px, for
// widgets that take an icon (menu entries).
QIcon icon(const QString& name, int size, const QColor& color);
}
