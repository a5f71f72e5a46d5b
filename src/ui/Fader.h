#pragma once

#include <QEasingCurve>
#include <QObject>

#include <functional>

class QVariantAnimation;
class QWidget;

// Shows and hides a widget through a level running from 0 (gone) to 1
// (fully there): the widget is shown when a fade in starts and hidden when a
// fade out ends. A fade turned around midway runs back from where it stands,
// so a widget shown again while it fades out ends visible. A child of the
// widget: its animation dies with it.
class Fader : public QObject
{
    Q_OBJECT
public:
    using Apply = std::function<void(qreal level)>;
    // The length of the desktop's ordinary show and hide animation.
    static constexpr int kDefaultMs = 350;
    // Slow at both ends, like the desktop's ordinary animations.
    static QEasingCurve easeInOut();

    // Starts with `target` shown or hidden at once; `apply` draws a level (an
    // opacity, a height...) on every later change, the first not included.
    Fader(QWidget* target, int msecs, bool shown, Apply apply);

    void setShown(bool shown, bool animated = true);
    // Where the widget is heading, not where the fade stands.
    bool isShown() const { return m_shown; }
    qreal level() const { return m_level; }
    bool isRunning() const;

private:
    void step(qreal level);
    void finish();

    QWidget* m_target;
    Apply m_apply;
    QVariantAnimation* m_animation;
    int m_msecs;
    qreal m_level;
    bool m_shown;
};
