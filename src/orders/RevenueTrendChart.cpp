#include "RevenueTrendChart.h"

#include "orders/TrendChartGeometry.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

RevenueTrendChart::RevenueTrendChart(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("revenueTrendChart"));
    setFixedHeight(kHeight);
    setMinimumWidth(0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void RevenueTrendChart::setData(const QList<TrendPoint>& rows, int mode)
{
    if (rows == m_rows && mode == m_mode)
        return;
    m_rows = rows;
    m_mode = mode;
    update();
}

void RevenueTrendChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintChart(painter, size());
}

void RevenueTrendChart::paintChart(QPainter& p, const QSizeF& size) const
{
    const TrendChartGeometry g = TrendChartGeometry::layout(m_rows, m_mode, size);
    if (g.columns.isEmpty())
        return;
    p.setRenderHint(QPainter::Antialiasing);
    const QColor gold = AppTheme::gold();
    const QColor valueColor = AppTheme::withOpacity(AppTheme::textPrimary(), 0.5);
    const QColor monthColor = AppTheme::withOpacity(AppTheme::textPrimary(), 0.4);
    static const QFont valueFont = Fonts::system(8);
    static const QFont monthFont = Fonts::system(9);
    // One gradient for every bar: gold at the top of the bar area fading to 60%.
    const QRectF area = g.columns.first().barArea;
    QLinearGradient fill(0, area.top(), 0, area.bottom());
    fill.setColorAt(0, gold);
    fill.setColorAt(1, AppTheme::withOpacity(gold, 0.6));
    p.setPen(Qt::NoPen);
    for (const TrendColumn& c : g.columns) {
        QLinearGradient barFill(0, c.bar.top(), 0, c.bar.bottom());
        barFill.setStops(fill.stops());
        QPainterPath path;
        path.addRoundedRect(c.bar, 3, 3);
        p.fillPath(path, barFill);
    }
    p.setFont(valueFont);
    p.setPen(valueColor);
    for (const TrendColumn& c : g.columns)
        p.drawText(c.valueLabel, Qt::AlignHCenter | Qt::AlignBottom, c.valueText);
    p.setFont(monthFont);
    p.setPen(monthColor);
    for (const TrendColumn& c : g.columns)
        p.drawText(c.monthLabel, Qt::AlignHCenter | Qt::AlignTop, c.monthText);
}
