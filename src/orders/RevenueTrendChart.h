#pragma once

#include "orders/StatsFigures.h"

#include <QWidget>

// The twelve-month bar chart of the statistics screen, 140 high. It draws
// what TrendChartGeometry lays out and holds nothing but its rows and mode.
class RevenueTrendChart : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 140;

    explicit RevenueTrendChart(QWidget* parent = nullptr);

    void setData(const QList<TrendPoint>& rows, int mode);
    const QList<TrendPoint>& data() const { return m_rows; }
    int mode() const { return m_mode; }
    // Draws into any device, so benchmarks can paint offscreen images.
    void paintChart(QPainter& painter, const QSizeF& size) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<TrendPoint> m_rows;
    int m_mode = 0;
};
