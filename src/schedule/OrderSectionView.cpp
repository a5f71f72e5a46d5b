#include "OrderSectionView.h"

#include "orderbook/OrderManager.h"
#include "schedule/CalendarBatchSelection.h"
#include "schedule/CalendarWidgets.h"
#include "schedule/OrderRowsModel.h"
#include "schedule/ScheduleCalendarModel.h"
#include "ui/AppTheme.h"
#include "ui/Fader.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/RevealBox.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QBoxLayout>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>

namespace {

QWidget* titleRow(const QString& symbol, const QString& text, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(new ThemedLabel(Symbols::glyph(symbol), Symbols::font(14), AppTheme::textGold, row));
    layout->addWidget(new ThemedLabel(text, Fonts::system(14, QFont::Bold), AppTheme::textGold, row));
    layout->addStretch(1);
    return row;
}

QColor faintWhite(int alpha)
{
    return QColor(255, 255, 255, alpha);
}

}

OrderListPanel::OrderListPanel(CalendarBatchSelection& selection, QWidget* parent)
    : SectionPanel(parent)
    , m_selection(selection)
{
    setObjectName(QStringLiteral("orderListPanel"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);

    auto* header = new QHBoxLayout;
    header->addWidget(titleRow(QStringLiteral("list.bullet.rectangle"), QStringLiteral("订单明细"), this));
    header->addStretch(1);
    const auto none = [this] { return m_selection.batchDeleteIds().isEmpty(); };
    PlateButton::Look deleteLook{[none] { return none() ? faintWhite(13) : AppTheme::withOpacity(SystemColors::red(), 0.1); },
                                 [none] { return AppTheme::withOpacity(SystemColors::red(), none() ? 0.3 : 1.0); },
                                 {}, Fonts::system(13, QFont::Medium), {14, 8, 14, 8}, 8, QStringLiteral("trash"), 13, 4};
    m_deleteButton = new PlateButton(QStringLiteral("删除"), deleteLook, this);
    m_deleteButton->setObjectName(QStringLiteral("batchDeleteButton"));
    connect(m_deleteButton, &QAbstractButton::clicked, this, &OrderListPanel::batchDeleteClicked);
    m_toggle = new PlateButton(QString(), {}, this);
    m_toggle->setObjectName(QStringLiteral("batchToggle"));
    connect(m_toggle, &QAbstractButton::clicked, &m_selection, &CalendarBatchSelection::toggleBatchMode);
    m_selectAll = new PlateButton(QString(), {AppTheme::searchBackground, AppTheme::gold, {}, Fonts::system(11, QFont::Medium),
                                              {10, 4, 10, 4}, 6, {}, 12, 4},
                                  this);
    m_selectAll->setObjectName(QStringLiteral("selectAllButton"));
    connect(m_selectAll, &QAbstractButton::clicked, &m_selection, &CalendarBatchSelection::toggleSelectAll);
    const auto batchOnly = [this](QWidget* w) {
        m_batchOnly.append(new RevealBox(w, Fader::kDefaultMs, false, this));
        return m_batchOnly.last();
    };
    header->addWidget(batchOnly(m_deleteButton));
    header->addWidget(m_toggle);
    header->addWidget(batchOnly(m_selectAll));
    column->addLayout(header);

    ScheduleCalendarModel& model = m_selection.model();
    const auto numbers = [](int from, int to, const QString& unit) {
        QStringList out;
        for (int n = from; n <= to; ++n)
            out.append(QString::number(n) + unit);
        return out;
    };
    m_year = new FilterMenuBox(85, 85, [numbers] { return numbers(2020, 2030, QStringLiteral("年")); },
                               [&model](const QString& e) { model.setYear(e.chopped(1).toInt()); }, this);
    m_month = new FilterMenuBox(65, 65, [numbers] { return numbers(1, 12, QStringLiteral("月")); },
                                [&model](const QString& e) { model.setMonth(e.chopped(1).toInt()); }, this);
    m_package = new FilterMenuBox(150, 100, [this] { return m_selection.batchPackageOptions(); },
                                  [this](const QString& e) { m_selection.setFilterPackage(e); }, this);
    m_status = new FilterMenuBox(150, 100, [] { return CalendarBatchSelection::batchStatusOptions(); },
                                 [this](const QString& e) { m_selection.setFilterStatus(e); }, this);
    auto* filters = new QHBoxLayout;
    filters->setSpacing(8);
    const char* names[] = {"yearBox", "monthBox", "packageBox", "statusBox"};
    int i = 0;
    for (FilterMenuBox* box : {m_year, m_month, m_package, m_status}) {
        box->setObjectName(QString::fromLatin1(names[i++]));
        filters->addWidget(box);
    }
    filters->addStretch(1);
    column->addLayout(filters);

    m_editHint = new ThemedLabel(QStringLiteral("点击下方订单可进行编辑订单"), Fonts::system(10),
                                 [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); }, this);
    m_editHint->setObjectName(QStringLiteral("editHint"));
    m_editHintBox = new RevealBox(m_editHint, Fader::kDefaultMs, true, this);
    column->addWidget(m_editHintBox);

    const auto faint = [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.3); };
    m_noOrders = new EmptyStateView(QStringLiteral("tray"), 24, faint, QStringLiteral("请在上方日历中选择日期"), 12, true, this);
    m_noOrders->setObjectName(QStringLiteral("noOrdersState"));
    m_noMatches = new EmptyStateView(QStringLiteral("line.3.horizontal.decrease.circle"), 24, faint,
                                     QStringLiteral("当前筛选条件下无订单"), 12, true, this);
    m_noMatches->setObjectName(QStringLiteral("noMatchesState"));
    m_rows = new OrderRowsModel(m_selection, this);
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("orderList"));
    m_list->setModel(m_rows);
    m_list->setItemDelegate(new OrderRowDelegate(m_selection, m_list));
    m_list->setMinimumHeight(400);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    m_list->viewport()->installEventFilter(this);
    for (QWidget* w : {static_cast<QWidget*>(m_noOrders), static_cast<QWidget*>(m_noMatches),
                       static_cast<QWidget*>(m_list)})
        column->addWidget(w);

    connect(&m_selection, &CalendarBatchSelection::changed, this, &OrderListPanel::refresh);
    connect(&model, &ScheduleCalendarModel::changed, this, &OrderListPanel::refresh);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); m_list->viewport()->update(); });
    refresh();
}

void OrderListPanel::refresh()
{
    const bool batch = m_selection.isBatchMode();
    for (RevealBox* box : std::as_const(m_batchOnly))
        box->setShown(batch, true);
    m_deleteButton->setEnabled(!m_selection.batchDeleteIds().isEmpty());
    m_deleteButton->update();
    m_toggle->setText(batch ? QStringLiteral("完成") : QStringLiteral("批量管理"));
    m_toggle->setLook({batch ? AppTheme::gold : AppTheme::searchBackground, batch ? AppTheme::background : AppTheme::gold, {},
                       Fonts::system(13, QFont::Medium), {18, 8, 18, 8}, 8,
                       batch ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("checklist"), 13, 4});
    m_selectAll->setText(m_selection.allSelectedOrdersChecked() ? QStringLiteral("取消全选") : QStringLiteral("全选"));
    const QDate month = m_selection.model().currentMonth();
    m_year->setLabel(QString::number(month.year()) + QStringLiteral("年"));
    m_month->setLabel(QString::number(month.month()) + QStringLiteral("月"));
    m_package->setLabel(QStringLiteral("套系：") + m_selection.filterPackage());
    m_status->setLabel(QStringLiteral("状态：") + m_selection.filterStatus());
    m_editHintBox->setShown(!batch, true);
    const bool noOrders = m_selection.selectedOrders().isEmpty();
    const bool noMatches = !noOrders && m_selection.filteredBatchOrders().isEmpty();
    m_noOrders->setVisible(noOrders);
    m_noMatches->setVisible(noMatches);
    m_list->setVisible(!noOrders && !noMatches);
    m_rows->reload();
}

bool OrderListPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = m_list->indexAt(mouse->position().toPoint());
        if (mouse->button() != Qt::LeftButton || !index.isValid())
            return false;
        const Order order = m_rows->orderAt(index.row());
        if (!m_selection.isBatchMode()) {
            CalendarRequest request;
            request.kind = CalendarRequest::Kind::editOrder;
            request.order = order;
            Q_EMIT requested(request);
        } else if (OrderRowDelegate::checkboxRect(m_list->visualRect(index)).contains(mouse->position().toPoint())) {
            m_selection.toggleOrder(order.id);
        }
        return true;
    }
    return SectionPanel::eventFilter(watched, event);
}

class PendingBalancePanel::Rows : public QWidget
{
public:
    explicit Rows(QWidget* parent)
        : QWidget(parent)
    {
    }
    void setOrders(const QList<Order>& orders)
    {
        m_orders = orders;
        setMinimumHeight(std::max(400, int(orders.size()) * 54));
        update();
    }
    int count() const { return int(m_orders.size()); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QFont nameFont = Fonts::system(12, QFont::Medium), detailFont = Fonts::system(10);
        int y = 0;
        for (const Order& o : std::as_const(m_orders)) {
            const QRect row(0, y, width(), 48);
            p.setPen(Qt::NoPen);
            p.setBrush(faintWhite(8));
            p.drawRoundedRect(row, 6, 6);
            p.setBrush(SystemColors::orange());
            p.drawRoundedRect(QRectF(8, y + 6, 4, 36), 2, 2);
            const QRect text(20, y + 6, width() - 28, 36);
            p.setFont(nameFont);
            p.setPen(AppTheme::textPrimary());
            p.drawText(text, Qt::AlignLeft | Qt::AlignTop,
                       QFontMetrics(nameFont).elidedText(o.customerName, Qt::ElideRight, text.width()));
            p.setFont(detailFont);
            p.setPen(AppTheme::withOpacity(AppTheme::textPrimary(), 0.6));
            p.drawText(text, Qt::AlignLeft | Qt::AlignBottom, CalendarBatchSelection::pendingBalanceDetail(o));
            y += 54;
        }
    }

private:
    QList<Order> m_orders;
};

PendingBalancePanel::PendingBalancePanel(CalendarBatchSelection& selection, QWidget* parent)
    : SectionPanel(parent)
    , m_selection(selection)
{
    setObjectName(QStringLiteral("pendingBalancePanel"));
    setFixedWidth(kWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);
    column->addWidget(titleRow(QStringLiteral("dollarsign.circle"), QStringLiteral("待收尾款提醒"), this));
    m_empty = new EmptyStateView(QStringLiteral("checkmark.circle"), 56,
                                 [] { return AppTheme::withOpacity(SystemColors::green(), 0.6); },
                                 QStringLiteral("暂无待收尾款"), 13, false, this);
    m_empty->setObjectName(QStringLiteral("noPendingState"));
    m_rows = new Rows(this);
    column->addWidget(m_empty);
    column->addWidget(m_rows);
    column->addStretch(1);
    connect(&m_selection.orderManager(), &OrderManager::ordersChanged, this, &PendingBalancePanel::refresh);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { m_rows->update(); });
    refresh();
}

int PendingBalancePanel::shownCount() const
{
    return m_rows->count();
}

void PendingBalancePanel::refresh()
{
    const QList<Order> pending = CalendarBatchSelection::pendingBalanceOrders(m_selection.orderManager().orders());
    m_rows->setOrders(pending);
    m_empty->setVisible(pending.isEmpty());
    m_rows->setVisible(!pending.isEmpty());
}
