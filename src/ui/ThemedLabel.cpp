#include "ThemedLabel.h"

#include "ui/ThemeObserver.h"

ThemedLabel::ThemedLabel(const QString& text, const QFont& font, ColorFn color, QWidget* parent)
    : QLabel(parent)
    , m_color(std::move(color))
{
    setTextFormat(Qt::PlainText);
    setText(text);
    setFont(font);
    setAttribute(Qt::WA_TranslucentBackground);
    applyColor();
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, &ThemedLabel::applyColor);
}

void ThemedLabel::setColorFunction(ColorFn color)
{
    m_color = std::move(color);
    applyColor();
}

void ThemedLabel::applyColor()
{
    if (!m_color)
        return;
    QPalette p = palette();
    p.setColor(QPalette::WindowText, m_color());
    p.setColor(QPalette::Text, m_color());
    setPalette(p);
}
