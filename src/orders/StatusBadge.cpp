#include "StatusBadge.h"

#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

StatusBadge::StatusBadge(QWidget* parent)
    : QWidget(parent)
{
    setFont(Fonts::system(12));
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void StatusBadge::setStatus(const QString& text, std::function<QColor()> color)
{
    m_text = text;
    m_color = std::move(color);
    updateGeometry();
    update();
}

QSize StatusBadge::sizeHint() const
{
    const QFontMetrics fm(font());
    return {10 + 8 + 4 + fm.horizontalAdvance(m_text) + 10, std::max(8, fm.height()) + 8};
}

void StatusBadge::paintEvent(QPaintEvent*)
{
    const QColor c = color();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath pill;
    pill.addRoundedRect(QRectF(rect()), 12, 12);
    QColor fill = c;
    fill.setAlphaF(c.alphaF() * 0.1);
    p.fillPath(pill, fill);
    // The dot glows with a soft halo of its own colour.
    const QPointF centre(10 + 4, height() / 2.0);
    QRadialGradient glow(centre, 8);
    QColor halo = c;
    halo.setAlphaF(0.6);
    glow.setColorAt(0.4, halo);
    halo.setAlphaF(0);
    glow.setColorAt(1, halo);
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(centre, 8, 8);
    p.setBrush(c);
    p.drawEllipse(centre, 4, 4);
    p.setPen(c);
    p.drawText(QRect(10 + 8 + 4, 0, width() - 22, height()), Qt::AlignLeft | Qt::AlignVCenter, m_text);
}
