#include "EasedLevel.h"

#include "ui/Fader.h"

#include <QSignalBlocker>
#include <QVariantAnimation>
#include <QWidget>

EasedLevel::EasedLevel(QWidget* widget, int msecs)
    : QObject(widget)
    , m_widget(widget)
    , m_animation(new QVariantAnimation(this))
    , m_msecs(msecs)
{
    m_animation->setEasingCurve(Fader::easeInOut());
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_value = v.toReal();
        m_widget->update();
    });
}

void EasedLevel::setOn(bool on)
{
    const qreal goal = on ? 1 : 0;
    m_animation->stop();
    if (m_value == goal)
        return;
    // Nobody sees an animation off screen.
    if (!m_widget->isVisible()) {
        m_value = goal;
        m_widget->update();
        return;
    }
    {
        const QSignalBlocker quiet(m_animation);
        m_animation->setStartValue(m_value);
        m_animation->setEndValue(goal);
    }
    m_animation->setDuration(qMax(1, qRound(m_msecs * qAbs(goal - m_value))));
    m_animation->start();
}
