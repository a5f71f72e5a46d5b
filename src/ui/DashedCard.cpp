#include "DashedCard.h"

#include "ui/AppTheme.h"
#include "ui/ThemeObserver.h"

#include <QPainter>

DashedCard::DashedCard(QSize size, qreal cornerRadius, QWidget* parent)
    : QWidget(parent)
    , m_radius(cornerRadius)
{
    setFixedSize(size);
    setAttribute(Qt::WA_TranslucentBackground);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void DashedCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(AppTheme::dropZoneBorder(), 2.0, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    // Qt measures dashes in pen widths: 8 on and 6 off at a width of 2.
    pen.setDashPattern({4.0, 3.0});
    pen.setMiterLimit(10);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    // The line is centred on the edge; keep its outer half inside the widget.
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), m_radius, m_radius);
}
