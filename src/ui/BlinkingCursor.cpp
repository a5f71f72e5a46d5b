#include "BlinkingCursor.h"

#include "ui/AppTheme.h"
#include "ui/ThemeObserver.h"

#include <QPainter>
#include <QVariantAnimation>

BlinkingCursor::BlinkingCursor(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_animation = new QVariantAnimation(this);
    // Out and back in one cycle: an ease-in-out fade that reverses on repeat.
    m_animation->setDuration(2 * kHalfPeriodMs);
    m_animation->setStartValue(1.0);
    m_animation->setKeyValueAt(0.5, 0.0);
    m_animation->setEndValue(1.0);
    m_animation->setEasingCurve(QEasingCurve::Linear);
    m_animation->setLoopCount(-1);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        // Ease each half on its own so both the fade out and the fade in are smooth.
        const qreal linear = v.toReal();
        m_opacity = QEasingCurve(QEasingCurve::InOutQuad).valueForProgress(linear);
        update();
    });
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

bool BlinkingCursor::isBlinking() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

void BlinkingCursor::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_animation->start();
}

void BlinkingCursor::hideEvent(QHideEvent* event)
{
    // Nothing to animate while hidden; showing again restarts from visible.
    m_animation->stop();
    m_opacity = 1.0;
    QWidget::hideEvent(event);
}

void BlinkingCursor::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setOpacity(m_opacity);
    const QRectF bar(QRectF(rect()).center() - QPointF(1.0, 9.0), QSizeF(2.0, 18.0));
    painter.fillRect(bar, AppTheme::gold());
}
