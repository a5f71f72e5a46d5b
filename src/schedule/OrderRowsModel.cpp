#include "OrderRowsModel.h"

#include "orderbook/Money.h"
#include "orderbook/ShootTimeSlot.h"
#include "schedule/CalendarBatchSelection.h"
#include "schedule/DayCellPainter.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

OrderRowsModel::OrderRowsModel(CalendarBatchSelection& selection, QObject* parent)
    : QAbstractListModel(parent)
    , m_selection(selection)
{
    reload();
}

void OrderRowsModel::reload()
{
    beginResetModel();
    m_orders = m_selection.filteredBatchOrders();
    endResetModel();
}

int OrderRowsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_orders.size());
}

QVariant OrderRowsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_orders.size())
        return {};
    const Order& o = m_orders[index.row()];
    switch (role) {
    case Qt::DisplayRole: return o.customerName;
    case OrderRole: return QVariant::fromValue(o);
    case CheckedRole: return m_selection.selectedOrderIds().contains(o.id);
    default: return {};
    }
}

OrderRowDelegate::OrderRowDelegate(CalendarBatchSelection& selection, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_selection(selection)
{
}

QSize OrderRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return {option.rect.width(), rowHeight + rowSpacing};
}

QRect OrderRowDelegate::checkboxRect(const QRect& rowRect)
{
    return QRect(rowRect.left() + 8, rowRect.top(), 24, rowHeight);
}

void OrderRowDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const Order o = index.data(OrderRowsModel::OrderRole).value<Order>();
    const bool batch = m_selection.isBatchMode();
    const bool checked = m_selection.selectedOrderIds().contains(o.id);
    const QRect row(option.rect.left(), option.rect.top(), option.rect.width(), rowHeight);
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(Qt::NoPen);
    p->setBrush(batch && checked ? AppTheme::withOpacity(AppTheme::gold(), 0.1) : QColor(255, 255, 255, 8));
    p->drawRoundedRect(row, 6, 6);

    int x = row.left() + 8;
    if (batch) {
        p->setFont(Symbols::font(16));
        p->setPen(checked ? AppTheme::gold() : AppTheme::withOpacity(AppTheme::textPrimary(), 0.4));
        p->drawText(checkboxRect(row), Qt::AlignCenter,
                    Symbols::glyph(checked ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle")));
        x += 24 + 8;
    }
    p->setPen(Qt::NoPen);
    p->setBrush(markColor(markForStatus(o.status)));
    p->drawRoundedRect(QRectF(x, row.top() + 6, 4, 36), 2, 2);
    x += 4 + 8;

    const int right = row.right() - 8;
    const QFont nameFont = Fonts::system(12, QFont::Medium), smallFont = Fonts::system(10),
                totalFont = Fonts::system(12, QFont::Bold);
    const int line1 = row.top() + 6, line1Height = QFontMetrics(nameFont).height();
    const QString total = Money::yuanText(o.totalAmount);
    const int totalWidth = QFontMetrics(totalFont).horizontalAdvance(total);
    p->setFont(totalFont);
    p->setPen(AppTheme::gold());
    p->drawText(QRect(right - totalWidth, line1, totalWidth, line1Height), Qt::AlignRight | Qt::AlignVCenter, total);
    const int nameRoom = right - totalWidth - 8 - x;
    const QString name = QFontMetrics(nameFont).elidedText(o.customerName, Qt::ElideRight, std::max(nameRoom, 0));
    p->setFont(nameFont);
    p->setPen(AppTheme::textPrimary());
    const int nameWidth = QFontMetrics(nameFont).horizontalAdvance(name);
    p->drawText(QRect(x, line1, nameWidth, line1Height), Qt::AlignLeft | Qt::AlignVCenter, name);
    p->setFont(smallFont);
    p->setPen(AppTheme::withOpacity(AppTheme::textPrimary(), 0.8));
    const int packageX = x + nameWidth + 8;
    p->drawText(QRect(packageX, line1, std::max(right - totalWidth - 8 - packageX, 0), line1Height),
                Qt::AlignLeft | Qt::AlignVCenter,
                QFontMetrics(smallFont).elidedText(o.packageType, Qt::ElideRight, std::max(right - totalWidth - 8 - packageX, 0)));

    const int line2 = line1 + line1Height + 2, line2Height = QFontMetrics(smallFont).height();
    const QStringList parts{o.shootDay().toString(QStringLiteral("MM-dd")) + QLatin1Char(' ') + rawValue(o.timeSlot),
                            rawValue(o.status), QStringLiteral("已收") + Money::yuanText(o.receivedAmount())};
    const qreal opacities[] = {0.6, 0.8, 0.6};
    for (int i = 0; i < parts.size(); ++i) {
        const int w = QFontMetrics(smallFont).horizontalAdvance(parts[i]);
        p->setPen(AppTheme::withOpacity(AppTheme::textPrimary(), opacities[i]));
        p->drawText(QRect(x, line2, w, line2Height), Qt::AlignLeft | Qt::AlignVCenter, parts[i]);
        x += w + 8;
    }
    p->restore();
}
