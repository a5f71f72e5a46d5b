#pragma once

#include <QWidget>

#include <functional>

// The import volume slider: evenly spaced tick marks along its track and a
// round thumb whose centre marks the value on it. The track stops half a
// thumb short of each side, so the thumb is always whole. Only a drag that
// starts on the thumb changes the value; it never snaps.
class UniformVolumeSlider : public QWidget
{
    Q_OBJECT
public:
    struct Look {
        double lower = 0;
        double upper = 100;
        int tickCount = 40;
        qreal tickHeight = 8;
        qreal tickWidth = 2;
        qreal thumbSize = 20;
        std::function<QColor()> tickColor;
        std::function<QColor()> thumbColor;
    };

    explicit UniformVolumeSlider(Look look, QWidget* parent = nullptr);

    double value() const { return m_value; }
    void setValue(double value);
    // The value for a pointer at `x` over a slider `width` wide, clamped to the
    // range; none while the slider has no width yet.
    static std::optional<double> valueAt(qreal x, qreal width, double lower, double upper);
    QRectF thumbRect() const;
    // Where the thumb's centre runs, from the lower to the upper bound.
    QRectF trackRect() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void valueDragged(double value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Look m_look;
    double m_value = 0;
    bool m_dragging = false;
};
