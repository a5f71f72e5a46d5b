#include "DiagonalLines.h"

#include <cmath>

QList<QLineF> DiagonalLines::segments(const QSizeF& size)
{
    QList<QLineF> lines;
    const double w = size.width();
    const double h = size.height();
    // A size that is not finite (or absurdly large) would never end the loop.
    if (!std::isfinite(w) || !std::isfinite(h) || w < 0 || h < 0 || w + 2 * h > 1e6)
        return lines;
    for (double x = -h; x < w + h; x += 8)
        lines.append(QLineF(x, 0, x + h, h));
    return lines;
}
