#include "StatusLegendView.h"

#include "schedule/CalendarMark.h"
#include "schedule/DayCellPainter.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int itemGap = 12;
constexpr int rowGap = 4;
constexpr int dot = 10;
constexpr int dotGap = 6;

int lineHeight()
{
    return std::max(QFontMetrics(Fonts::system(12)).height(), dot);
}

int itemWidth(const LegendEntry& e)
{
    return dot + dotGap + QFontMetrics(Fonts::system(12)).horizontalAdvance(e.label);
}

}

StatusLegendView::StatusLegendView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("statusLegend"));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

QList<QRect> StatusLegendView::itemRects(int width) const
{
    QList<QRect> rects;
    int x = 0, y = 0;
    for (const LegendEntry& e : statusLegendEntries()) {
        const int w = itemWidth(e);
        if (x > 0 && x + w > width) {
            x = 0;
            y += lineHeight() + rowGap;
        }
        rects.append(QRect(x, y, w, lineHeight()));
        x += w + itemGap;
    }
    return rects;
}

QSize StatusLegendView::sizeHint() const
{
    const QRect last = itemRects(QWIDGETSIZE_MAX).constLast();
    return {last.right() + 1, lineHeight()};
}

QSize StatusLegendView::minimumSizeHint() const
{
    int widest = 0;
    for (const LegendEntry& e : statusLegendEntries())
        widest = std::max(widest, itemWidth(e));
    return {widest, lineHeight()};
}

int StatusLegendView::heightForWidth(int width) const
{
    return itemRects(width).constLast().bottom() + 1;
}

void StatusLegendView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(Fonts::system(12));
    const QList<QRect> rects = itemRects(width());
    // Centred in the height the bar gives, as the single row always was.
    const int top = (height() - (rects.constLast().bottom() + 1)) / 2;
    const QList<LegendEntry>& entries = statusLegendEntries();
    for (int i = 0; i < rects.size(); ++i) {
        const QRect r = rects[i].translated(0, top);
        p.setPen(Qt::NoPen);
        p.setBrush(markColor(entries[i].mark)); // the six legend colours are fixed in both themes
        p.drawEllipse(QRectF(r.left(), r.center().y() + 0.5 - dot / 2.0, dot, dot));
        p.setPen(AppTheme::withOpacity(AppTheme::textPrimary(), 0.6));
        p.drawText(r.adjusted(dot + dotGap, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, entries[i].label);
    }
}
