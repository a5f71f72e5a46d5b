#include "FtpBigButton.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"

#include <QPainter>
#include <QPainterPath>

FtpBigButton::FtpBigButton(const QString& text, std::function<QColor()> fill, QWidget* parent)
    : QAbstractButton(parent)
    , m_fill(std::move(fill))
{
    setText(text);
    setFont(Fonts::system(14, QFont::DemiBold));
    setCursor(Qt::PointingHandCursor);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, qOverload<>(&QWidget::update));
}

FtpBigButton::Face FtpBigButton::face() const
{
    if (!isEnabled())
        return {AppTheme::withOpacity(AppTheme::textPrimary(), 0.3), QColor(255, 255, 255, 20)};
    return {AppTheme::isDark() ? QColor(0, 0, 0, 217) : QColor(Qt::white), m_fill()};
}

QSize FtpBigButton::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text()) + 52, fm.height() + 18);
}

void FtpBigButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        p.setOpacity(0.7);
    const Face f = face();
    QPainterPath plate;
    plate.addRoundedRect(QRectF(rect()), 10, 10);
    p.fillPath(plate, f.fill);
    p.setPen(f.text);
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter, text());
}
