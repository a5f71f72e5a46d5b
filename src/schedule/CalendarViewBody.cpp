#include "CalendarViewBody.h"

#include "orderbook/CalendarSyncManager.h"
#include "platform/CalendarStore.h"
#include "schedule/CalendarBatchSelection.h"
#include "schedule/CalendarSyncStatusBar.h"
#include "schedule/CalendarWidgets.h"
#include "schedule/OrderSectionView.h"
#include "schedule/ScheduleCalendarModel.h"
#include "schedule/SelectAllKeyFilter.h"
#include "ui/AppTheme.h"
#include "ui/Fader.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/RevealBox.h"
#include "ui/Symbols.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"
#include "ui/Toast.h"

#include <QBoxLayout>
#include <QEvent>
#include <QResizeEvent>
#include <QPointer>

namespace {

QHBoxLayout* paddedRow(QVBoxLayout* column, int top = 0, int bottom = 0)
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(24, top, 24, bottom);
    column->addLayout(row);
    return row;
}

// The order list with the balances panel beside it, or the panel below the
// list where the two do not fit side by side.
class PanelRow : public QWidget
{
public:
    PanelRow(QWidget* orders, QWidget* balances, QWidget* parent)
        : QWidget(parent)
        , m_orders(orders)
        , m_balances(balances)
        , m_layout(new QBoxLayout(QBoxLayout::LeftToRight, this))
    {
        setObjectName(QStringLiteral("orderPanels"));
        m_layout->setContentsMargins(24, 0, 24, 12);
        m_layout->setSpacing(16);
        m_layout->addWidget(orders, 1, Qt::AlignTop);
        m_layout->addWidget(balances, 0, Qt::AlignTop);
    }

    // Narrow enough for the stacked form: the scroll area then hands us the
    // width it has instead of cutting the row off.
    QSize minimumSizeHint() const override
    {
        const int margins = m_layout->contentsMargins().left() + m_layout->contentsMargins().right();
        const int widest = std::max(m_orders->minimumSizeHint().width(), PendingBalancePanel::kWidth);
        return {widest + margins, QWidget::minimumSizeHint().height()};
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        const int margins = m_layout->contentsMargins().left() + m_layout->contentsMargins().right();
        const bool beside = width() >= margins + m_orders->minimumSizeHint().width() + m_layout->spacing()
                                           + PendingBalancePanel::kWidth;
        if (beside != (m_layout->direction() == QBoxLayout::LeftToRight)) {
            m_layout->setDirection(beside ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
            if (beside)
                m_balances->setFixedWidth(PendingBalancePanel::kWidth);
            else
                m_balances->setMaximumWidth(QWIDGETSIZE_MAX);
        }
        QWidget::resizeEvent(event);
    }

private:
    QWidget* m_orders;
    QWidget* m_balances;
    QBoxLayout* m_layout;
};

}

CalendarViewBody::CalendarViewBody(ScheduleCalendarModel& model, CalendarBatchSelection& selection, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_selection(selection)
    , m_keyFilter(new SelectAllKeyFilter(selection, this))
{
    setObjectName(QStringLiteral("calendarViewBody"));
    setFocusPolicy(Qt::StrongFocus);
    m_confirm = [this](const DeleteConfirmation& c) { return MonthGridView::askToDelete(this, c); };
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);

    // Month header: the six items together in the middle of the row.
    QHBoxLayout* header = paddedRow(column, 8);
    header->setSpacing(8);
    header->addStretch(1);
    const struct { const char* name; const char* symbol; int count; void (ScheduleCalendarModel::*step)(); } steps[] = {
        {"previousYearButton", "chevron.left", 2, &ScheduleCalendarModel::previousYear},
        {"previousMonthButton", "chevron.left", 1, &ScheduleCalendarModel::previousMonth},
        {"nextMonthButton", "chevron.right", 1, &ScheduleCalendarModel::nextMonth},
        {"nextYearButton", "chevron.right", 2, &ScheduleCalendarModel::nextYear},
    };
    m_title = new ThemedLabel(QString(), Fonts::system(18, QFont::Bold), AppTheme::textGold, this);
    m_title->setObjectName(QStringLiteral("monthTitle"));
    m_title->setMinimumWidth(120);
    m_title->setAlignment(Qt::AlignCenter);
    for (int i = 0; i < 4; ++i) {
        auto* button = new ChevronButton(QString::fromLatin1(steps[i].symbol), steps[i].count, this);
        button->setObjectName(QString::fromLatin1(steps[i].name));
        const auto step = steps[i].step;
        connect(button, &QAbstractButton::clicked, this, [this, step] { (m_model.*step)(); });
        header->addWidget(button);
        if (i == 1)
            header->addWidget(m_title);
    }
    m_today = new PlateButton(QStringLiteral("今天"), {}, this);
    m_today->setObjectName(QStringLiteral("todayButton"));
    connect(m_today, &QAbstractButton::clicked, &m_model, &ScheduleCalendarModel::showToday);
    header->addWidget(m_today);
    header->addStretch(1);

    m_statusBar = new CalendarSyncStatusBar({}, this);
    column->addWidget(m_statusBar);

    QHBoxLayout* weekdays = paddedRow(column);
    weekdays->setSpacing(4);
    for (int i = 0; i < 7; ++i) {
        auto* label = new ThemedLabel(QString(), Fonts::system(12, QFont::DemiBold),
                                      [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.5); }, this);
        label->setAlignment(Qt::AlignCenter);
        label->setObjectName(QStringLiteral("weekday%1").arg(i));
        weekdays->addWidget(label, 1);
        m_weekdays.append(label);
    }

    m_grid = new MonthGridView(selection, this);
    m_grid->setConfirm([this](const DeleteConfirmation& c) { return m_confirm(c); });
    paddedRow(column, 0, 12)->addWidget(m_grid);
    connect(m_grid, &MonthGridView::requested, this, &CalendarViewBody::requested);

    auto* hintRow = new QWidget;
    hintRow->setObjectName(QStringLiteral("scrollHint"));
    auto* hint = new QHBoxLayout(hintRow);
    hint->setContentsMargins(0, 0, 0, 4);
    hint->setSpacing(6);
    const auto hintColor = [] { return AppTheme::isDark() ? QColor(255, 255, 255, 153) : QColor(128, 128, 128, 77); };
    hint->addStretch(1);
    hint->addWidget(new ThemedLabel(Symbols::glyph(QStringLiteral("chevron.down")), Symbols::font(13), hintColor, hintRow));
    hint->addWidget(new ThemedLabel(QStringLiteral("下滑查看订单明细"), Fonts::system(12, QFont::Medium), hintColor, hintRow));
    hint->addStretch(1);
    m_scrollHint = new RevealBox(hintRow, kScrollHintFadeMs, true, this);
    column->addWidget(m_scrollHint);

    auto* orders = new OrderListPanel(selection, this);
    column->addWidget(new PanelRow(orders, new PendingBalancePanel(selection, this), this));
    connect(orders, &OrderListPanel::requested, this, &CalendarViewBody::requested);
    connect(orders, &OrderListPanel::batchDeleteClicked, this, &CalendarViewBody::confirmBatchDelete);

    auto* spacer = new QWidget;
    spacer->setObjectName(QStringLiteral("batchSpacer"));
    spacer->setFixedHeight(80);
    m_batchSpacer = new RevealBox(spacer, Fader::kDefaultMs, false, this);
    column->addWidget(m_batchSpacer);
    column->addStretch(1);

    m_toast = new Toast(this);
    // Painted pieces read the theme at every paint; repainting the whole half
    // repaints them all.
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
    connect(&m_model, &ScheduleCalendarModel::changed, this, &CalendarViewBody::refreshHeader);
    connect(&m_selection, &CalendarBatchSelection::changed, this, &CalendarViewBody::refreshBatchLayout);
    refreshHeader();
    refreshBatchLayout();
}

CalendarViewBody::~CalendarViewBody()
{
    m_keyFilter->setActive(false);
}

void CalendarViewBody::setCalendarSync(CalendarSyncManager* sync)
{
    if (!sync) {
        m_statusBar->setSource({});
        m_selection.setCalendarReachesPhone({});
        return;
    }
    QPointer<CalendarSyncManager> guard(sync);
    m_statusBar->setSource({[guard] { return guard && guard->calendarSyncEnabled(); },
                            [guard] { return guard && guard->isAuthorized(); },
                            [guard] {
                                return guard
                                    && guard->eventStore().authorizationStatus() == CalendarAuthorizationStatus::FullAccess;
                            },
                            [guard] { return guard && guard->syncsToPhone(); },
                            [guard] { return guard ? guard->pendingCalendarWork() : 0; },
                            [guard] { return guard ? guard->lastCalendarFailure() : QString(); },
                            [guard] { return guard ? guard->eventStore().sessionNotice() : QString(); },
                            [guard] { return guard ? guard->calendarServerProblem() : QString(); },
                            [guard] { return !guard || guard->eventStore().supportsOnlineAccounts(); },
                            [guard] { return guard ? guard->calendarServiceProblem() : QString(); },
                            [guard] { return guard ? guard->pendingRestoreWork() : 0; }});
    m_selection.setCalendarReachesPhone([guard] { return guard && guard->syncsToPhone(); });
    // The calendar is found (and its account known) by the refresh that publishes the events.
    for (auto signal : {&CalendarSyncManager::isAuthorizedChanged, &CalendarSyncManager::calendarSyncEnabledChanged,
                        &CalendarSyncManager::shootEventsChanged, &CalendarSyncManager::pendingWorkChanged})
        connect(sync, signal, m_statusBar, &CalendarSyncStatusBar::refresh);
    connect(sync, &CalendarSyncManager::shootEventsChanged, this,
            [this, guard] { if (guard) m_model.setShootEvents(guard->shootEvents()); });
    connect(m_statusBar, &CalendarSyncStatusBar::openSystemSettingsClicked, sync, &CalendarSyncManager::openSystemSettings);
    connect(m_statusBar, &CalendarSyncStatusBar::enableSyncClicked, sync, [guard] {
        guard->requestCalendarPermission([guard](bool granted, const std::optional<QString>&) {
            if (granted && guard)
                guard->refreshEvents();
        });
    });
    m_model.setShootEvents(sync->shootEvents());
}

void CalendarViewBody::refreshHeader()
{
    m_title->setText(m_model.monthTitle());
    const bool current = m_model.isTodayMonth();
    PlateButton::Look look;
    look.fill = current ? AppTheme::gold : PlateButton::ColorFn([] { return QColor(Qt::transparent); });
    look.text = current ? AppTheme::background : AppTheme::gold;
    if (!current)
        look.outline = [] { return AppTheme::withOpacity(AppTheme::gold(), 0.5); };
    look.font = Fonts::system(12, QFont::Medium);
    look.padding = {12, 6, 12, 6};
    look.radius = 6;
    m_today->setLook(look);
    const QStringList labels = m_model.weekdayLabels();
    for (int i = 0; i < 7; ++i)
        m_weekdays[i]->setText(labels[i]);
}

void CalendarViewBody::refreshBatchLayout()
{
    m_batchSpacer->setShown(m_selection.isBatchMode(), true);
}

void CalendarViewBody::setViewMode(int mode)
{
    m_viewMode = mode;
    m_scrollHint->setShown(m_viewMode == 0 && m_showScrollHint, false);
}

void CalendarViewBody::setShowScrollHint(bool show)
{
    m_showScrollHint = show;
    m_scrollHint->setShown(m_viewMode == 0 && m_showScrollHint, true);
}

void CalendarViewBody::setSearch(const QString& text, MonthGridView::SearchMatch matches)
{
    m_grid->setSearch(text, std::move(matches));
}

void CalendarViewBody::setConfirm(MonthGridView::Confirm confirm)
{
    m_confirm = std::move(confirm);
}

void CalendarViewBody::confirmBatchDelete()
{
    if (m_selection.batchDeleteIds().isEmpty())
        return;
    if (m_confirm(m_selection.batchDeleteConfirmation()))
        showBatchToast(m_selection.batchDelete());
}

void CalendarViewBody::showBatchToast(const QString& message)
{
    m_toast->showMessage(message, m_selection.isBatchMode() ? 100 : 40);
}

void CalendarViewBody::showEvent(QShowEvent* event)
{
    m_keyFilter->setActive(true);
    QWidget::showEvent(event);
}

void CalendarViewBody::hideEvent(QHideEvent* event)
{
    m_keyFilter->setActive(false);
    QWidget::hideEvent(event);
}

bool CalendarViewBody::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        m_statusBar->refresh();
    return QWidget::event(event);
}
