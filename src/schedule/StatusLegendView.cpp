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

}

StatusLegendView::StatusLegendView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("statusLegend"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

QSize StatusLegendView::sizeHint() const
{
    const QFontMetrics fm(Fonts::system(12));
    int w = 0;
    for (const LegendEntry& e : statusLegendEntries())
        w += 10 + 6 + fm.horizontalAdvance(e.label) + itemGap;
    return {w - itemGap, std::max(fm.height(), 10)};
}

void StatusLegendView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFont font = Fonts::system(12);
    const QFontMetrics fm(font);
    p.setFont(font);
    int x = 0;
    for (const LegendEntry& e : statusLegendEntries()) {
        p.setPen(Qt::NoPen);
        p.setBrush(markColor(e.mark)); // the six legend colours are fixed in both themes
        p.drawEllipse(QRectF(x, (height() - 10) / 2.0, 10, 10));
        x += 16;
        p.setPen(AppTheme::withOpacity(AppTheme::textPrimary(), 0.6));
        const int w = fm.horizontalAdvance(e.label);
        p.drawText(QRect(x, 0, w, height()), Qt::AlignVCenter | Qt::AlignLeft, e.label);
        x += w + itemGap;
    }
}
