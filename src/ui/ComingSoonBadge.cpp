#include "ComingSoonBadge.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"

#include <QPainter>
#include <QPainterPath>

ComingSoonBadge::ComingSoonBadge(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

QSize ComingSoonBadge::sizeHint() const
{
    const QFontMetrics fm(Fonts::system(10));
    return {fm.horizontalAdvance(text()) + 16, fm.height() + 8};
}

void ComingSoonBadge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath plate;
    plate.addRoundedRect(QRectF(rect()), 6, 6);
    painter.fillPath(plate, AppTheme::withOpacity(AppTheme::gold(), 0.12));
    painter.setFont(Fonts::system(10));
    painter.setPen(AppTheme::withOpacity(AppTheme::textGold(), 0.7));
    painter.drawText(rect(), Qt::AlignCenter, text());
}
