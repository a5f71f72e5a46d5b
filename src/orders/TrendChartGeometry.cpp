#include "TrendChartGeometry.h"

#include "orderbook/Money.h"

#include <algorithm>

TrendChartGeometry TrendChartGeometry::layout(const QList<TrendPoint>& rows, int mode, const QSizeF& size)
{
    TrendChartGeometry g;
    for (const TrendPoint& p : rows)
        g.maxValue = std::max(g.maxValue, p.value(mode));
    const qsizetype n = rows.size();
    if (n == 0)
        return g;
    const qreal width = std::max<qreal>(0, (size.width() - kSpacing * qreal(n - 1)) / qreal(n));
    const qreal areaHeight =
        std::max<qreal>(0, size.height() - kValueLabelHeight - kMonthLabelHeight - 2 * kSpacing);
    for (qsizetype i = 0; i < n; ++i) {
        const TrendPoint& p = rows[i];
        TrendColumn c;
        const qreal x = qreal(i) * (width + kSpacing);
        c.column = QRectF(x, 0, width, size.height());
        c.valueLabel = QRectF(x, 0, width, kValueLabelHeight);
        c.barArea = QRectF(x, kValueLabelHeight + kSpacing, width, areaHeight);
        c.monthLabel = QRectF(x, c.barArea.bottom() + kSpacing, width, kMonthLabelHeight);
        const qint64 v = p.value(mode);
        const qreal scaled = v > 0 ? areaHeight * (long double)v / (long double)g.maxValue : 0;
        const qreal h = std::min(areaHeight, std::max(kMinBarHeight, scaled));
        c.bar = QRectF(x, c.barArea.bottom() - h, width, h);
        c.valueText = Money::centsYuanText(v);
        c.monthText = p.month;
        g.columns.append(c);
    }
    return g;
}
