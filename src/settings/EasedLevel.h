#pragma once

#include <QObject>

class QVariantAnimation;
class QWidget;

// A level between 0 and 1 that eases toward its goal and repaints its
// widget on every step: a hover highlight, a turning chevron. A turn midway
// runs back from where it stands.
class EasedLevel : public QObject
{
    Q_OBJECT
public:
    EasedLevel(QWidget* widget, int msecs);

    void setOn(bool on);
    qreal value() const { return m_value; }

private:
    QWidget* m_widget;
    QVariantAnimation* m_animation;
    int m_msecs;
    qreal m_value = 0;
};
