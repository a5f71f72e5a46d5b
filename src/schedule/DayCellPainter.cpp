#include "DayCellPainter.h"

#include "orderbook/Money.h"
#include "schedule/DiagonalLines.h"
#include "schedule/ScheduleCalendarModel.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/SystemColors.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

QColor markColor(CalendarMark mark)
{
    switch (mark) {
    case CalendarMark::none: return Qt::transparent;
    case CalendarMark::unimportedEvent: return SystemColors::blue();
    case CalendarMark::shootDateTBD: return QColor::fromRgbF(0.827f, 0.439f, 0.522f);
    case CalendarMark::pendingDeposit: return SystemColors::yellow();
    case CalendarMark::pendingShoot: return SystemColors::red();
    case CalendarMark::pendingBalance: return SystemColors::orange();
    case CalendarMark::completed: return AppTheme::gold();
    case CalendarMark::cancelled: return SystemColors::gray();
    case CalendarMark::settled: return SystemColors::green();
    }
    return Qt::transparent;
}

namespace {

constexpr qreal padding = 6;
constexpr qreal radius = 6;

QFont dayFont(const DayFigures& day)
{
    return day.isToday ? Fonts::system(17, QFont::Bold) : Fonts::system(15, QFont::Medium);
}

// Line heights as the cell's layout counts them: the CJK font's own line
// spacing is too loose for six lines in 90 points.
qreal lineHeight(qreal size)
{
    return std::ceil(size * 1.2);
}

QString badgeText(const DayFigures& day)
{
    return QString::number(day.itemCount) + QStringLiteral("单");
}

// Top of the badge: under the day row and the lunar label, 2 apart.
qreal badgeTop(const QRectF& content, const DayFigures& day)
{
    return content.top() + lineHeight(day.isToday ? 17 : 15) + 2 + lineHeight(9) + 2;
}

}

namespace DayCellPainter {

QRectF badgeRect(const QRectF& rect, const DayFigures& day)
{
    if (day.itemCount <= 0)
        return {};
    const QRectF content = rect.adjusted(padding, padding, -padding, -padding);
    const QFontMetricsF fm(Fonts::system(12, QFont::Medium));
    qreal w = fm.horizontalAdvance(badgeText(day)) + 32;
    if (!day.unimportedEvents.isEmpty())
        w += 4 + 6;
    const qreal h = lineHeight(12) + 8;
    return QRectF(content.center().x() - w / 2, badgeTop(content, day), w, h);
}

void paint(QPainter& p, const QRectF& rect, const DayFigures& day, bool emphasised)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(day.isDimmed ? 0.4 : 1.0);
    QPainterPath outline;
    outline.addRoundedRect(rect, radius, radius);
    p.fillPath(outline, day.isPast ? AppTheme::pastDateBackground() : AppTheme::searchBackground());

    const QRectF content = rect.adjusted(padding, padding, -padding, -padding);
    const QFont numberFont = dayFont(day);
    const qreal numberHeight = lineHeight(day.isToday ? 17 : 15);
    p.setFont(numberFont);
    p.setPen(day.isPast ? AppTheme::textGoldDim() : AppTheme::textGold());
    p.drawText(QRectF(content.left(), content.top(), content.width(), numberHeight), Qt::AlignLeft | Qt::AlignVCenter,
               QString::number(day.dayNumber));
    if (day.mark != CalendarMark::none) {
        QColor dot = markColor(day.mark);
        if (day.mark == CalendarMark::unimportedEvent)
            dot.setAlphaF(0.8f);
        p.setPen(Qt::NoPen);
        p.setBrush(dot);
        p.drawEllipse(QRectF(content.right() - 8, content.top(), 8, 8));
    }

    const QFont lunarFont = Fonts::system(9);
    p.setFont(lunarFont);
    p.setPen(day.isPast ? AppTheme::withOpacity(AppTheme::textGoldDim(), 0.6)
                        : AppTheme::withOpacity(AppTheme::textPrimary(), 0.3));
    p.drawText(QRectF(content.left(), content.top() + numberHeight + 2, content.width(), lineHeight(9)),
               Qt::AlignLeft | Qt::AlignVCenter, day.lunarLabel);

    if (day.itemCount > 0) {
        const QRectF badge = badgeRect(rect, day);
        p.setPen(Qt::NoPen);
        p.setBrush(AppTheme::searchBackground());
        p.drawRoundedRect(badge, 4, 4);
        p.setPen(QPen(AppTheme::withOpacity(AppTheme::gold(), 0.5), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(badge.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        const QFont badgeFont = Fonts::system(12, QFont::Medium);
        const qreal textWidth = QFontMetricsF(badgeFont).horizontalAdvance(badgeText(day));
        const QRectF inner = badge.adjusted(16, 4, -16, -4);
        p.setFont(badgeFont);
        p.setPen(AppTheme::withOpacity(day.isPast ? AppTheme::textGoldDim() : AppTheme::gold(), 0.8));
        p.drawText(QRectF(inner.left(), inner.top(), textWidth, inner.height()), Qt::AlignCenter, badgeText(day));
        if (!day.unimportedEvents.isEmpty()) {
            p.setPen(Qt::NoPen);
            p.setBrush(AppTheme::withOpacity(SystemColors::blue(), 0.8));
            p.drawEllipse(QRectF(inner.left() + textWidth + 4, inner.center().y() - 3, 6, 6));
        }
    }

    if (day.revenue > 0) {
        const QFont revenueFont = Fonts::system(11);
        p.setFont(revenueFont);
        p.setPen(day.isPast ? QColor(0x6B, 0x5B, 0x45) : QColor(0xCD, 0x5B, 0x2B));
        p.drawText(QRectF(content.left(), content.bottom() - lineHeight(11), content.width(), lineHeight(11)),
                   Qt::AlignHCenter | Qt::AlignVCenter, Money::yuanText(day.revenue));
    }

    const qreal borderWidth = emphasised ? 2 : 1;
    if (emphasised || day.isToday) {
        p.setPen(QPen(AppTheme::gold(), borderWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(outline);
    }

    if (day.isRestDay) {
        p.setClipPath(outline);
        p.setPen(QPen(QColor(255, 255, 255, 38), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.translate(rect.topLeft());
        p.drawLines(DiagonalLines::segments(rect.size()));
    }
    p.restore();
}

}
