#pragma once

#include "orders/StatsFigures.h"

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

// Where every piece of the revenue trend chart goes, as a pure function of
// its rows, counting mode and size; the chart paints exactly this.
struct TrendColumn
{
    QRectF column;
    QRectF valueLabel;
    QRectF barArea;
    QRectF bar;
    QRectF monthLabel;
    QString valueText;
    QString monthText;
};

struct TrendChartGeometry
{
    static constexpr qreal kSpacing = 4;
    static constexpr qreal kValueLabelHeight = 11; // an 8 pt line
    static constexpr qreal kMonthLabelHeight = 12; // a 9 pt line
    static constexpr qreal kMinBarHeight = 4;

    qint64 maxValue = 100; // cents, never below one yuan
    QList<TrendColumn> columns;

    static TrendChartGeometry layout(const QList<TrendPoint>& rows, int mode, const QSizeF& size);
};
