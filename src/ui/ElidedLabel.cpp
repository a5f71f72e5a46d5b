#include "ElidedLabel.h"

#include "ui/ThemeObserver.h"

#include <QPainter>

ElidedLabel::ElidedLabel(const QFont& font, ColorFn color, QWidget* parent)
    : QWidget(parent)
    , m_color(std::move(color))
{
    setFont(font);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void ElidedLabel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    update();
}

QString ElidedLabel::shownText() const
{
    // Line breaks in a file name must not open a second line.
    QString single = m_text;
    single.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return fontMetrics().elidedText(single, m_elide, width());
}

void ElidedLabel::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode)
{
    m_elide = mode;
    update();
}

QSize ElidedLabel::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(m_text) + 2, fontMetrics().height()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {20, fontMetrics().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(m_color ? m_color() : palette().color(QPalette::WindowText));
    p.drawText(rect(), int(m_alignment) | Qt::TextSingleLine, shownText());
}
