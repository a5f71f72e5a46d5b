#include "TopBarButton.h"

#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "ui/ThemeObserver.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

TopBarButton::TopBarButton(Look look, QWidget* parent)
    : QAbstractButton(parent)
    , m_look(std::move(look))
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(m_look.text);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, qOverload<>(&QWidget::update));
}

void TopBarButton::setLook(Look look)
{
    m_look = std::move(look);
    updateGeometry();
    update();
}

QSize TopBarButton::sizeHint() const
{
    if (m_look.fixedSize.isValid())
        return m_look.fixedSize;
    int width = 0;
    int height = 0;
    if (!m_look.symbol.isEmpty()) {
        const QFontMetrics fm(Symbols::font(m_look.symbolSize));
        width += fm.horizontalAdvance(Symbols::glyph(m_look.symbol));
        height = fm.height();
    }
    if (!m_look.text.isEmpty()) {
        const QFontMetrics fm(Fonts::system(m_look.textSize, m_look.weight));
        if (width > 0)
            width += m_look.spacing;
        width += fm.horizontalAdvance(m_look.text);
        height = qMax(height, fm.height());
    }
    return QSize(width + m_look.padding.left() + m_look.padding.right(),
                 height + m_look.padding.top() + m_look.padding.bottom());
}

void TopBarButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        p.setOpacity(0.7);
    const QRectF face = rect();
    if (m_look.plate) {
        QPainterPath path;
        if (m_look.radius <= 0)
            path.addEllipse(face);
        else
            path.addRoundedRect(face, m_look.radius, m_look.radius);
        p.fillPath(path, m_look.plate());
    }
    const QColor fg = m_look.foreground ? m_look.foreground() : palette().color(QPalette::ButtonText);
    p.setPen(fg);

    const QFont symbolFont = Symbols::font(m_look.symbolSize * m_look.symbolScale);
    const QFont textFont = Fonts::system(m_look.textSize, m_look.weight);
    const QString glyph = m_look.symbol.isEmpty() ? QString() : Symbols::glyph(m_look.symbol);
    const int glyphWidth = glyph.isEmpty() ? 0 : QFontMetrics(symbolFont).horizontalAdvance(glyph);
    const int textWidth = m_look.text.isEmpty() ? 0 : QFontMetrics(textFont).horizontalAdvance(m_look.text);
    const int gap = (glyphWidth > 0 && textWidth > 0) ? m_look.spacing : 0;
    qreal x = face.center().x() - (glyphWidth + gap + textWidth) / 2.0;
    if (glyphWidth > 0) {
        p.setFont(symbolFont);
        p.drawText(QRectF(x, face.top(), glyphWidth, face.height()), Qt::AlignCenter, glyph);
        x += glyphWidth + gap;
    }
    if (textWidth > 0) {
        p.setFont(textFont);
        p.drawText(QRectF(x, face.top(), textWidth + 1, face.height()), Qt::AlignVCenter | Qt::AlignLeft, m_look.text);
    }
}
