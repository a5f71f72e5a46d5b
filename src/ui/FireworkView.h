#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QWidget>

class QVariantAnimation;

// The completion burst of the file tools' progress panels: a ring of dots
// flies out from the centre while a gold check mark grows in. It plays once,
// the first time the view is shown, and then keeps its final picture; a panel
// that wants it again makes a new view. Hosts place it in a 70 x 70 frame.
class FireworkView : public QWidget
{
    Q_OBJECT
public:
    explicit FireworkView(QWidget* parent = nullptr);

    // One dot at a point of the animation (0 = start picture, 1 = burst).
    struct Particle {
        QPointF offset;    // from the centre, y down
        qreal diameter;
        qreal opacity;
        QColor color;
    };

    static QList<QColor> defaultColors();
    static constexpr qreal kRadius = 28.0;
    static constexpr int kDurationMs = 600;

    int particleCount() const { return m_particleCount; }
    void setParticleCount(int count);
    const QList<QColor>& colors() const { return m_colors; }

    // The state flag the animation drives: false until first shown.
    bool burst() const { return m_burst; }
    // The eased position of the animation, 0 to 1.
    qreal progress() const { return m_progress; }

    Particle particle(int index, qreal progress) const;
    // The check mark's scale and opacity both follow the progress.
    static qreal checkScale(qreal progress) { return progress; }
    static QColor checkColor();

    QSize sizeHint() const override { return {70, 70}; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int m_particleCount = 16;
    QList<QColor> m_colors;
    bool m_burst = false;
    qreal m_progress = 0.0;
    QVariantAnimation* m_animation = nullptr;
};
