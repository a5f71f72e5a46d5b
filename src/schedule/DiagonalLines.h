#pragma once

#include <QLineF>
#include <QList>
#include <QSizeF>

// The hatch over a rest day: parallel 45-degree strokes 8 apart along the
// top edge, from one height left of the shape to one height past its right
// edge, in the shape's own space (origin at 0, 0). Strokes that start past
// the right edge are included; the painter's clip hides them.
namespace DiagonalLines {

QList<QLineF> segments(const QSizeF& size);

}
