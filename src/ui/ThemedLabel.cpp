#include "ThemedLabel.h"

#include "ui/AppTheme.h"
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
    // A style sheet, not the palette: a parent's style sheet (a styled button
    // holding this label) would otherwise override the palette colour.
    const QColor c = AppTheme::readableText(m_color());
    QPalette p = palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    setPalette(p);
    setStyleSheet(QStringLiteral("color: rgba(%1, %2, %3, %4); background: transparent;")
                      .arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alphaF()));
}
