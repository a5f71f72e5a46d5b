#include "ThemedPanel.h"

#include "ui/ThemeObserver.h"

#include <QPaintEvent>
#include <QPainter>

ThemedPanel::ThemedPanel(ColorFn color, QWidget* parent)
    : QWidget(parent)
    , m_color(std::move(color))
{
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void ThemedPanel::setCornerRadius(qreal radius)
{
    m_radius = radius;
    update();
}

void ThemedPanel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (m_radius <= 0) {
        painter.fillRect(event->rect(), m_color());
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color());
    painter.drawRoundedRect(QRectF(rect()), m_radius, m_radius);
}
