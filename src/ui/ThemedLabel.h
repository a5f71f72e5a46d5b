#pragma once

#include <QLabel>

#include <functional>

// A plain-text label whose colour is a theme colour, read again whenever the
// theme changes, so screens never keep a stale colour.
class ThemedLabel : public QLabel
{
    Q_OBJECT
public:
    using ColorFn = std::function<QColor()>;

    ThemedLabel(const QString& text, const QFont& font, ColorFn color, QWidget* parent = nullptr);

    void setColorFunction(ColorFn color);
    QColor currentColor() const { return m_color ? m_color() : QColor(); }

private:
    void applyColor();
    ColorFn m_color;
};
