#include "Fader.h"

#include <QSignalBlocker>
#include <QVariantAnimation>
#include <QWidget>

QEasingCurve Fader::easeInOut()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

Fader::Fader(QWidget* target, int msecs, bool shown, Apply apply)
    : QObject(target)
    , m_target(target)
    , m_apply(std::move(apply))
    , m_animation(new QVariantAnimation(this))
    , m_msecs(msecs)
    , m_level(shown ? 1 : 0)
    , m_shown(shown)
{
    target->setVisible(shown);
    m_animation->setEasingCurve(easeInOut());
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) { step(v.toReal()); });
    connect(m_animation, &QVariantAnimation::finished, this, &Fader::finish);
}

void Fader::setShown(bool shown, bool animated)
{
    const bool turning = shown != m_shown;
    m_shown = shown;
    if (shown)
        m_target->show();
    const qreal goal = shown ? 1 : 0;
    if (!turning && !isRunning() && m_level == goal)
        return;
    // Off screen nobody sees a fade: it ends at once.
    if (!animated || !m_target->isVisible()) {
        m_animation->stop();
        step(goal);
        finish();
        return;
    }
    if (!turning && isRunning())
        return;
    // The curve's whole length for a whole way; a turn midway takes its share.
    m_animation->stop();
    {
        // A stopped animation reports its new end at once: no jump to it.
        const QSignalBlocker quiet(m_animation);
        m_animation->setStartValue(m_level);
        m_animation->setEndValue(goal);
    }
    m_animation->setDuration(qMax(1, qRound(m_msecs * qAbs(goal - m_level))));
    m_animation->start();
}

bool Fader::isRunning() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

void Fader::step(qreal level)
{
    m_level = level;
    m_apply(level);
}

void Fader::finish()
{
    if (!m_shown)
        m_target->hide();
}
