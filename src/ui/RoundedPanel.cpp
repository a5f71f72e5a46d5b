#include "RoundedPanel.h"

#include "ui/ThemeObserver.h"

#include <QPainter>
#include <QPainterPath>

RoundedPanel::RoundedPanel(ColorFn fill, qreal radius, QWidget* parent)
    : QWidget(parent)
    , m_fill(std::move(fill))
    , m_radius(radius)
{
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void RoundedPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), m_radius, m_radius);
    p.fillPath(path, m_fill());
}
