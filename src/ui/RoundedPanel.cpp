#include "RoundedPanel.h"

#include "ui/ThemeObserver.h"

#include <QPainter>
#include <QPainterPath>

RoundedPanel::RoundedPanel(ColorFn fill, qreal radius, QWidget* parent, ColorFn outline)
    : QWidget(parent)
    , m_fill(std::move(fill))
    , m_outline(std::move(outline))
    , m_radius(radius)
{
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, qOverload<>(&QWidget::update));
}

void RoundedPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
    if (m_fill)
        p.fillPath(path, m_fill());
    if (m_outline) {
        p.setPen(QPen(m_outline(), 1));
        p.drawPath(path);
    }
}
