#pragma once

#include <QWidget>

#include <functional>

// A plain area filled with a theme colour, read at every paint so it follows
// theme changes.
class ThemedPanel : public QWidget
{
    Q_OBJECT
public:
    using ColorFn = std::function<QColor()>;
    explicit ThemedPanel(ColorFn color, QWidget* parent = nullptr);

    QColor currentColor() const { return m_color(); }
    // Rounds the fill's corners (square by default).
    void setCornerRadius(qreal radius);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ColorFn m_color;
    qreal m_radius = 0;
};
