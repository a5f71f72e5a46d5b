#include "PackageRowList.h"

#include "orderbook/Money.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedPanel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>

namespace {

QColor faded(qreal opacity)
{
    return AppTheme::withOpacity(AppTheme::textPrimary(), opacity);
}

QWidget* amountColumn(const QString& title, double amount, const char* name, QWidget* parent)
{
    auto* column = new QWidget(parent);
    column->setObjectName(QString::fromLatin1(name));
    column->setFixedWidth(PackageRowList::kAmountColumnWidth);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* label = new ThemedLabel(title, Fonts::system(9), [] { return faded(0.4); }, column);
    label->setAlignment(Qt::AlignRight);
    const bool set = amount > 0;
    auto* value = new ThemedLabel(PackageRowList::amountText(amount), Fonts::system(12, QFont::Medium),
                                  [set] { return faded(set ? 0.8 : 0.4); }, column);
    value->setObjectName(QStringLiteral("amount"));
    value->setAlignment(Qt::AlignRight);
    layout->addWidget(label);
    layout->addWidget(value);
    return column;
}

}

PackageRowList::PackageRowList(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("packageRows"));
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(1);
    m_layout->addStretch(1);
    m_dropLine = new ThemedPanel(&AppTheme::gold, this);
    m_dropLine->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_dropLine->hide();
}

QString PackageRowList::amountText(double amount)
{
    return amount > 0 ? Money::yuanText(amount) : QStringLiteral("未设置");
}

void PackageRowList::setPackages(const QList<Package>& packages)
{
    m_packages = packages;
    qDeleteAll(m_rows);
    m_rows.clear();
    for (int i = 0; i < packages.size(); ++i) {
        const Package& pkg = packages[i];
        auto* row = new ThemedPanel(&AppTheme::sidebarBackground, this);
        row->setObjectName(QStringLiteral("packageRow%1").arg(i));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(12, 8, 12, 8);
        line->setSpacing(12);
        line->addWidget(new ThemedLabel(Symbols::glyph(QStringLiteral("line.3.horizontal")), Symbols::font(12),
                                        [] { return faded(0.3); }, row));
        auto* nameBlock = new QHBoxLayout;
        nameBlock->setSpacing(6);
        auto* name = new ThemedLabel(pkg.name, Fonts::system(14, QFont::Medium), &AppTheme::textPrimary, row);
        name->setObjectName(QStringLiteral("packageName"));
        nameBlock->addWidget(name);
        if (pkg.isBuiltin) {
            PlateButton::Look tag;
            // Solid: gold on its own light tint cannot reach 4.5:1.
            tag.fill = &AppTheme::gold;
            tag.text = &AppTheme::onGoldText;
            tag.font = Fonts::system(9);
            tag.padding = QMargins(4, 1, 4, 1);
            tag.radius = 3;
            auto* builtin = new PlateButton(QStringLiteral("内置"), tag, row);
            builtin->setObjectName(QStringLiteral("builtinTag"));
            builtin->setAttribute(Qt::WA_TransparentForMouseEvents);
            nameBlock->addWidget(builtin);
        }
        nameBlock->addStretch(1);
        line->addLayout(nameBlock, 1);
        line->addWidget(amountColumn(QStringLiteral("价格"), pkg.price, "priceColumn", row));
        line->addWidget(amountColumn(QStringLiteral("定金"), pkg.deposit, "depositColumn", row));
        if (!pkg.isBuiltin) {
            PlateButton::Look look;
            look.text = [] { return AppTheme::withOpacity(SystemColors::red(), 0.7); };
            look.symbol = QStringLiteral("trash");
            look.symbolSize = 12;
            look.padding = QMargins(2, 2, 2, 2);
            auto* trash = new PlateButton(QString(), look, row);
            trash->setObjectName(QStringLiteral("deleteButton"));
            connect(trash, &QAbstractButton::clicked, this, [this, pkg] { Q_EMIT deleteRequested(pkg); });
            line->addWidget(trash);
        }
        // Rows, columns and labels leave a press unhandled, so it travels up
        // to the list and the whole row drags; the trash button keeps its
        // own clicks. Making the row transparent instead would hide the
        // button from the mouse too.
        m_layout->insertWidget(i, row);
        m_rows.append(row);
    }
}

int PackageRowList::rowAt(const QPoint& pos) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i]->geometry().contains(pos))
            return i;
    }
    return -1;
}

int PackageRowList::insertionAt(const QPoint& pos) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (pos.y() < m_rows[i]->geometry().center().y())
            return i;
    }
    return int(m_rows.size());
}

bool PackageRowList::inAmountColumns(int row, const QPoint& pos) const
{
    for (const char* name : {"priceColumn", "depositColumn"}) {
        const QWidget* column = m_rows[row]->findChild<QWidget*>(QString::fromLatin1(name));
        if (column && QRect(column->mapTo(this, QPoint(0, 0)), column->size()).contains(pos))
            return true;
    }
    return false;
}

void PackageRowList::mousePressEvent(QMouseEvent* event)
{
    m_pressedRow = event->button() == Qt::LeftButton ? rowAt(event->position().toPoint()) : -1;
    m_pressPos = event->position().toPoint();
    m_dragging = false;
}

void PackageRowList::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pressedRow < 0)
        return;
    const QPoint pos = event->position().toPoint();
    if (!m_dragging && (pos - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    m_dragging = true;
    m_dropIndex = insertionAt(pos);
    showDropLine();
}

void PackageRowList::mouseReleaseEvent(QMouseEvent* event)
{
    const int from = m_pressedRow;
    const bool dragged = m_dragging;
    const int to = insertionAt(event->position().toPoint());
    m_pressedRow = -1;
    m_dragging = false;
    m_dropIndex = -1;
    showDropLine();
    if (from < 0 || from >= m_packages.size())
        return;
    if (dragged) {
        if (to != from && to != from + 1)
            Q_EMIT moveRequested(from, to);
    } else if (rowAt(event->position().toPoint()) == from && inAmountColumns(from, event->position().toPoint())) {
        Q_EMIT editRequested(m_packages[from]);
    }
}

void PackageRowList::showDropLine()
{
    if (!m_dragging || m_dropIndex < 0) {
        m_dropLine->hide();
        return;
    }
    // The line marks the gap above the row the package will precede.
    const int y = m_dropIndex < m_rows.size() ? m_rows[m_dropIndex]->geometry().top()
                                              : (m_rows.isEmpty() ? 0 : m_rows.last()->geometry().bottom() + 1);
    m_dropLine->setGeometry(0, std::max(0, y - 1), width(), 2);
    m_dropLine->raise();
    m_dropLine->show();
}
