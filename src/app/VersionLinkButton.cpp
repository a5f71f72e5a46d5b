#include "VersionLinkButton.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/SystemColors.h"
#include "ui/ThemeObserver.h"

#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

namespace {
// The 7 x 7 dot is set into the face's top-trailing corner, then moved 4
// right and 1 up: it overhangs the face by that much.
constexpr qreal kDotSize = 7;
constexpr int kDotOverhangX = 4;
constexpr int kDotOverhangY = 1;
QFont captionFont() { return Fonts::system(12); }
}

VersionLinkButton::VersionLinkButton(const QString& text, QWidget* parent)
    : QAbstractButton(parent)
{
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_hoverAnimation = new QVariantAnimation(this);
    m_hoverAnimation->setDuration(150);
    m_hoverAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_hoverAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_hoverAmount = v.toReal();
        update();
    });
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void VersionLinkButton::setShowDot(bool show)
{
    if (m_showDot == show)
        return;
    m_showDot = show;
    update();
}

QRectF VersionLinkButton::faceRect() const
{
    const QFontMetricsF fm(captionFont());
    return QRectF(0, kDotOverhangY, fm.horizontalAdvance(text()) + 4, fm.height() + 8);
}

QRectF VersionLinkButton::dotRect() const
{
    const QRectF face = faceRect();
    return QRectF(face.right() - kDotSize + kDotOverhangX, face.top() - kDotOverhangY, kDotSize, kDotSize);
}

QSize VersionLinkButton::sizeHint() const
{
    const QRectF face = faceRect();
    return {qCeil(face.width()) + kDotOverhangX, qCeil(face.bottom())};
}

QColor VersionLinkButton::textColor() const
{
    const qreal t = m_hoverAmount;
    if (AppTheme::isDark())
        return AppTheme::withOpacity(AppTheme::textGold(), 0.7 + 0.25 * t);
    return QColor(0, 0, 0, qRound(255 * (0.65 + 0.2 * t)));
}

void VersionLinkButton::setHovered(bool hovered)
{
    if (m_hovered == hovered)
        return;
    m_hovered = hovered;
    m_hoverAnimation->stop();
    m_hoverAnimation->setStartValue(m_hoverAmount);
    m_hoverAnimation->setEndValue(hovered ? 1.0 : 0.0);
    m_hoverAnimation->start();
}

void VersionLinkButton::enterEvent(QEnterEvent* event)
{
    setHovered(true);
    QAbstractButton::enterEvent(event);
}

void VersionLinkButton::leaveEvent(QEvent* event)
{
    setHovered(false);
    QAbstractButton::leaveEvent(event);
}

bool VersionLinkButton::hitButton(const QPoint& pos) const { return faceRect().contains(pos); }

void VersionLinkButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face = faceRect();
    if (m_hoverAmount > 0) {
        QPainterPath plate;
        plate.addRoundedRect(face, 5, 5);
        painter.fillPath(plate, AppTheme::withOpacity(AppTheme::gold(), 0.15 * m_hoverAmount));
    }
    painter.setFont(captionFont());
    painter.setPen(textColor());
    painter.drawText(face, Qt::AlignCenter, text());
    if (m_showDot) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(SystemColors::red());
        painter.drawEllipse(dotRect());
    }
}
