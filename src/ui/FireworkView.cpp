#include "FireworkView.h"

#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"

#include <QPainter>
#include <QVariantAnimation>

#include <cmath>

FireworkView::FireworkView(QWidget* parent)
    : QWidget(parent)
    , m_colors(defaultColors())
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(70, 70);
    m_animation = new QVariantAnimation(this);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    m_animation->setDuration(kDurationMs);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_progress = v.toReal();
        update();
    });
}

QList<QColor> FireworkView::defaultColors()
{
    return {QColor::fromRgbF(1.0f, 0.84f, 0.45f), QColor::fromRgbF(1.0f, 0.7f, 0.3f),
            QColor::fromRgbF(1.0f, 0.95f, 0.6f),  QColor::fromRgbF(0.95f, 0.75f, 0.4f),
            SystemColors::yellow(),               SystemColors::orange(),
            QColor(Qt::white)};
}

QColor FireworkView::checkColor() { return QColor::fromRgbF(1.0f, 0.84f, 0.45f); }

void FireworkView::setParticleCount(int count)
{
    m_particleCount = qMax(0, count);
    update();
}

FireworkView::Particle FireworkView::particle(int index, qreal t) const
{
    Particle p;
    const int n = qMax(1, m_particleCount);
    const qreal angle = 2.0 * M_PI * index / n;
    p.offset = QPointF(std::cos(angle) * kRadius * t, std::sin(angle) * kRadius * t);
    p.diameter = 5.0 + (3.0 - 5.0) * t;
    p.opacity = 1.0 + (0.8 - 1.0) * t;
    p.color = m_colors.isEmpty() ? QColor(Qt::white) : m_colors.at(index % m_colors.size());
    return p;
}

void FireworkView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_burst)
        return;
    m_burst = true;
    m_animation->start();
}

void FireworkView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < m_particleCount; ++i) {
        const Particle p = particle(i, m_progress);
        painter.setOpacity(p.opacity);
        painter.setBrush(p.color);
        painter.drawEllipse(centre + p.offset, p.diameter / 2.0, p.diameter / 2.0);
    }
    const qreal scale = checkScale(m_progress);
    if (scale <= 0.0)
        return;
    painter.setOpacity(m_progress);
    painter.translate(centre);
    painter.scale(scale, scale);
    QFont font = Symbols::font(26);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(checkColor());
    painter.drawText(QRectF(-20, -20, 40, 40), Qt::AlignCenter, Symbols::glyph(QStringLiteral("checkmark")));
}
