#include "PlateButton.h"

#include "ui/AppTheme.h"
#include "ui/Symbols.h"
#include "ui/ThemeObserver.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

PlateButton::PlateButton(const QString& text, Look look, QWidget* parent)
    : QAbstractButton(parent)
    , m_look(std::move(look))
{
    setText(text);
    setFont(m_look.font);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void PlateButton::setLook(Look look)
{
    m_look = std::move(look);
    setFont(m_look.font);
    updateGeometry();
    update();
}

QSize PlateButton::sizeHint() const
{
    if (m_look.fixedSize.isValid())
        return m_look.fixedSize;
    const QFontMetrics fm(m_look.font);
    int w = fm.horizontalAdvance(text());
    int h = fm.height();
    if (!m_look.symbol.isEmpty()) {
        const QFontMetrics sm(Symbols::font(m_look.symbolSize));
        w += sm.horizontalAdvance(Symbols::glyph(m_look.symbol)) + (text().isEmpty() ? 0 : m_look.spacing);
        h = std::max(h, sm.height());
    }
    return {w + m_look.padding.left() + m_look.padding.right(), h + m_look.padding.top() + m_look.padding.bottom()};
}

void PlateButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        p.setOpacity(0.7);
    const QRectF plate = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    if (m_look.round)
        path.addEllipse(plate);
    else
        path.addRoundedRect(plate, m_look.radius, m_look.radius);
    if (m_look.fill)
        p.fillPath(path, m_look.fill());
    if (m_look.outline) {
        p.setPen(QPen(m_look.outline(), 1));
        p.drawPath(path);
    }
    // A disabled button keeps its faint colour: lifting it to a readable
    // one would make it look as live as an enabled button.
    const QColor given = m_look.text ? m_look.text() : palette().color(QPalette::ButtonText);
    const QColor textColor = isEnabled() ? AppTheme::readableText(given, m_look.fill ? m_look.fill() : QColor()) : given;
    p.setPen(textColor);
    const QString label = text();
    const QFontMetrics fm(m_look.font);
    int contentWidth = fm.horizontalAdvance(label);
    QString glyph;
    int glyphWidth = 0;
    if (!m_look.symbol.isEmpty()) {
        glyph = Symbols::glyph(m_look.symbol);
        glyphWidth = QFontMetrics(Symbols::font(m_look.symbolSize * m_look.symbolScale)).horizontalAdvance(glyph);
        contentWidth += glyphWidth + (label.isEmpty() ? 0 : m_look.spacing);
    }
    const QRect inner = rect().marginsRemoved(m_look.padding);
    int x = inner.left() + std::max(0, (inner.width() - contentWidth) / 2);
    if (!glyph.isEmpty()) {
        p.setFont(Symbols::font(m_look.symbolSize * m_look.symbolScale));
        p.drawText(QRect(x, rect().top(), glyphWidth, rect().height()), Qt::AlignCenter, glyph);
        x += glyphWidth + m_look.spacing;
    }
    p.setFont(m_look.font);
    const QRect textRect(x, rect().top(), rect().right() - x - m_look.padding.right() + 1, rect().height());
    // elidedText cuts a text whose advance equals the width, so elide only
    // what really does not fit.
    const bool fits = fm.horizontalAdvance(label) <= textRect.width();
    p.drawText(textRect.adjusted(0, 0, fits ? 4 : 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
               fits ? label : fm.elidedText(label, Qt::ElideRight, std::max(0, textRect.width())));
}
