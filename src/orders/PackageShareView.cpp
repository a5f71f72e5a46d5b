#include "PackageShareView.h"

#include "orderbook/Money.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

PackageShareView::PackageShareView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("packageShareView"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void PackageShareView::setRows(const QList<PackageShareRow>& rows)
{
    if (rows == m_rows)
        return;
    const bool resized = rows.size() != m_rows.size();
    m_rows = rows;
    if (resized)
        updateGeometry();
    update();
}

qreal PackageShareView::barWidth(qint64 amount, qint64 total, qreal available)
{
    if (total <= 0 || available <= 0)
        return 0;
    const qreal w = available * (long double)amount / (long double)total;
    return std::clamp<qreal>(w, 0, available);
}

QString PackageShareView::figureText(const PackageShareRow& row)
{
    return QString::number(row.count) + QStringLiteral("单 ") + Money::centsYuanText(row.amount);
}

QSize PackageShareView::sizeHint() const
{
    const int n = std::max<int>(1, int(m_rows.size()));
    return {200, n * kRowHeight + (n - 1) * kRowGap};
}

void PackageShareView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor text = AppTheme::textPrimary();
    if (m_rows.isEmpty()) {
        p.setFont(Fonts::system(12));
        p.setPen(AppTheme::withOpacity(text, 0.3));
        p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("暂无数据"));
        return;
    }
    qint64 total = 0;
    for (const PackageShareRow& r : m_rows)
        total = Money::addCents(total, r.amount);
    const QFont nameFont = Fonts::system(12);
    const QFont figureFont = Fonts::system(11);
    const QFontMetrics nameMetrics(nameFont);
    const qreal available = std::max(0, width() - kNameWidth - kFigureWidth - 2 * kSpacing);
    const QColor track = AppTheme::withOpacity(QColor(Qt::white), 0.1);
    const QColor gold = AppTheme::gold();
    for (int i = 0; i < m_rows.size(); ++i) {
        const PackageShareRow& r = m_rows[i];
        const int y = i * (kRowHeight + kRowGap);
        p.setFont(nameFont);
        p.setPen(AppTheme::withOpacity(text, 0.8));
        p.drawText(QRect(0, y, kNameWidth, kRowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   nameMetrics.elidedText(r.package, Qt::ElideRight, kNameWidth));
        const QRectF trackRect(kNameWidth + kSpacing, y + (kRowHeight - 12) / 2.0, available, 12);
        QPainterPath trackPath;
        trackPath.addRoundedRect(trackRect, 3, 3);
        p.fillPath(trackPath, track);
        const qreal w = barWidth(r.amount, total, available);
        if (w > 0) {
            QPainterPath bar;
            bar.addRoundedRect(QRectF(trackRect.topLeft(), QSizeF(w, 12)), 3, 3);
            p.fillPath(bar, gold);
        }
        p.setFont(figureFont);
        p.setPen(AppTheme::withOpacity(text, 0.5));
        p.drawText(QRect(width() - kFigureWidth, y, kFigureWidth, kRowHeight), Qt::AlignRight | Qt::AlignVCenter,
                   figureText(r));
    }
}
