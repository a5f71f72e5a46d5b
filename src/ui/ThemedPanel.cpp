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

void ThemedPanel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), m_color());
}
