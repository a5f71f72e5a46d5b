#include "PlainButton.h"

#include "ui/Symbols.h"
#include "ui/ThemeObserver.h"

#include <QPainter>

PlainButton::PlainButton(const QString& text, const QFont& font, QMargins padding, qreal radius, QWidget* parent)
    : QAbstractButton(parent)
    , m_padding(padding)
    , m_radius(radius)
{
    // The text is drawn as given: no '&' turns into a shortcut.
    setText(text);
    setFont(font);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void PlainButton::setColors(ColorFn text, ColorFn fill)
{
    m_text = std::move(text);
    m_fill = std::move(fill);
    update();
}

void PlainButton::setSymbol(const QString& name, const QFont& font, int spacing)
{
    m_symbol = Symbols::glyph(name);
    m_symbolFont = font;
    m_spacing = spacing;
    updateGeometry();
}

QSize PlainButton::sizeHint() const
{
    const QFontMetrics fm(font());
    int width = fm.horizontalAdvance(text());
    int height = fm.height();
    if (!m_symbol.isEmpty()) {
        const QFontMetrics sm(m_symbolFont);
        width += sm.horizontalAdvance(m_symbol) + m_spacing;
        height = std::max(height, sm.height());
    }
    return {width + m_padding.left() + m_padding.right(), height + m_padding.top() + m_padding.bottom()};
}

void PlainButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        p.setOpacity(0.75);
    p.setPen(Qt::NoPen);
    p.setBrush(fillColor());
    p.drawRoundedRect(QRectF(rect()), m_radius, m_radius);
    p.setPen(textColor());
    const QRect inner = rect().marginsRemoved(m_padding);
    int x = inner.left() + (inner.width() - (sizeHint().width() - m_padding.left() - m_padding.right())) / 2;
    if (!m_symbol.isEmpty()) {
        p.setFont(m_symbolFont);
        const int w = QFontMetrics(m_symbolFont).horizontalAdvance(m_symbol);
        p.drawText(QRect(x, inner.top(), w, inner.height()), Qt::AlignCenter, m_symbol);
        x += w + m_spacing;
    }
    p.setFont(font());
    p.drawText(QRect(x, inner.top(), inner.right() - x + 1, inner.height()), Qt::AlignVCenter | Qt::AlignLeft,
               text());
}
