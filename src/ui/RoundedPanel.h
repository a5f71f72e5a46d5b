#pragma once

#include <QWidget>

#include <functional>

// A rounded card filled with a theme colour (and optionally outlined), read at
// every paint so it follows theme changes.
class RoundedPanel : public QWidget
{
    Q_OBJECT
public:
    using ColorFn = std::function<QColor()>;
    RoundedPanel(ColorFn fill, qreal radius, QWidget* parent = nullptr, ColorFn outline = {});

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ColorFn m_fill;
    ColorFn m_outline;
    qreal m_radius;
};
