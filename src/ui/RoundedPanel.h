#pragma once

#include <QWidget>

#include <functional>

// A rounded rectangle filled with a theme colour read at every paint; the
// owner lays children out inside it.
class RoundedPanel : public QWidget
{
    Q_OBJECT
public:
    using ColorFn = std::function<QColor()>;
    RoundedPanel(ColorFn fill, qreal radius, QWidget* parent = nullptr);
    QColor fillColor() const { return m_fill(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ColorFn m_fill;
    qreal m_radius;
};
