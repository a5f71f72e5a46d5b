#include "AutoImportElidedLabel.h"

#include "ui/ThemeObserver.h"

#include <QPainter>

AutoImportElidedLabel::AutoImportElidedLabel(const QFont& font, ColorFn color, QWidget* parent)
    : QWidget(parent)
    , m_color(std::move(color))
{
    setFont(font);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void AutoImportElidedLabel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    update();
}

QString AutoImportElidedLabel::shownText() const
{
    // Line breaks in a file name must not open a second line.
    QString single = m_text;
    single.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return fontMetrics().elidedText(single, Qt::ElideMiddle, width());
}

void AutoImportElidedLabel::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

QSize AutoImportElidedLabel::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(m_text) + 2, fontMetrics().height()};
}

QSize AutoImportElidedLabel::minimumSizeHint() const
{
    return {20, fontMetrics().height()};
}

void AutoImportElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(m_color ? m_color() : palette().color(QPalette::WindowText));
    p.drawText(rect(), int(m_alignment) | Qt::TextSingleLine, shownText());
}
