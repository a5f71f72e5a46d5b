#include "ToggleSwitch.h"

#include "ui/AppTheme.h"
#include "ui/ThemeObserver.h"

#include <QPainter>
#include <QPainterPath>

ToggleSwitch::ToggleSwitch(QWidget* parent, bool outlined)
    : QAbstractButton(parent)
    , m_outlined(outlined)
{
    setCheckable(true);
    setFixedSize(kWidth, kHeight);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

QColor ToggleSwitch::tint()
{
    return colorFromHex(0xCD5B2B);
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal radius = track.height() / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(isChecked() ? tint() : AppTheme::withOpacity(AppTheme::textPrimary(), 0.18));
    p.drawRoundedRect(track, radius, radius);

    const qreal knob = track.height() - 4;
    const qreal x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(x, track.top() + 2, knob, knob));

    if (!m_outlined)
        return;
    // 1-point outline centred on the capsule's edge.
    const QRectF outline = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(AppTheme::withOpacity(AppTheme::gold(), outlineOpacity()), 1.0));
    p.drawRoundedRect(outline, outline.height() / 2, outline.height() / 2);
}
