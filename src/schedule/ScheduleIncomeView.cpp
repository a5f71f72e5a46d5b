#include "ScheduleIncomeView.h"

#include "online/StatsReporter.h"
#include "orderbook/CalendarSyncManager.h"
#include "orderbook/OrderManager.h"
#include "orderbook/PackageManager.h"
#include "orders/OrderFormView.h"
#include "orders/StatsView.h"
#include "platform/CalendarStore.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "schedule/CalendarBatchSelection.h"
#include "schedule/CalendarViewBody.h"
#include "schedule/OrderSelectionSheet.h"
#include "schedule/ScheduleCalendarModel.h"
#include "schedule/ScheduleIncomeState.h"
#include "schedule/StatusLegendView.h"
#include "schedule/ScheduleOrderFlows.h"
#include "schedule/ScheduleKeys.h"
#include "schedule/ScheduleSettingsSheet.h"
#include "schedule/ScheduleSettingsState.h"
#include "schedule/ScheduleSwipe.h"
#include "schedule/ScheduleSwipeFilter.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/LightScrollBar.h"
#include "ui/Fader.h"
#include "ui/RevealBox.h"
#include "ui/RoundedPanel.h"
#include "ui/SheetDialog.h"
#include "ui/Symbols.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemeObserver.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVariantAnimation>
#include <QVBoxLayout>

namespace {

// The theme's orange: the fixed #CD5B2B reads at only 3.5:1 on the search plate.
QColor searchTextColor()
{
    return AppTheme::accentOrange();
}

PlateButton* iconButton(const QString& symbol, const QString& name, QWidget* parent)
{
    PlateButton::Look look;
    look.fill = &AppTheme::searchBackground;
    look.text = &AppTheme::gold;
    look.symbol = symbol;
    look.symbolSize = 14;
    look.padding = QMargins(9, 8, 9, 8);
    auto* b = new PlateButton(QString(), look, parent);
    b->setObjectName(name);
    b->setFixedSize(32, 32);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

}

ScheduleIncomeView::ScheduleIncomeView(QWidget* parent)
    : ScheduleIncomeView(OrderManager::shared(), CalendarSyncManager::shared(), UserDefaults::standard(), parent)
{
}

ScheduleIncomeView::ScheduleIncomeView(OrderManager& orders, CalendarSyncManager& sync, UserDefaults& defaults,
                                       QWidget* parent)
    : ThemedPanel(&AppTheme::background, parent)
    , m_orders(orders)
    , m_sync(sync)
    , m_defaults(defaults)
{
    setObjectName(QStringLiteral("scheduleIncomeView"));
    m_state = new ScheduleIncomeState(orders, this);
    m_flows = new ScheduleOrderFlows(orders, sync, this);
    connect(&orders, &OrderManager::saveFailed, this, [this](const QString& cause) {
        notice(QStringLiteral("保存失败：") + cause);
    });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeader());

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scheduleContentScroll"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    LightScrollBar::style(m_scroll);
    m_content = new QStackedWidget(m_scroll);
    m_content->setObjectName(QStringLiteral("scheduleContent"));
    m_calendarModel = new ScheduleCalendarModel(orders, defaults, this);
    m_calendarModel->setShootEvents(sync.shootEvents());
    m_batchSelection = new CalendarBatchSelection(*m_calendarModel, this);
    m_calendar = new CalendarViewBody(*m_calendarModel, *m_batchSelection, m_content);
    m_calendar->setObjectName(QStringLiteral("scheduleCalendarView"));
    m_calendar->setCalendarSync(&sync);
    connect(m_calendar, &CalendarViewBody::requested, this, &ScheduleIncomeView::onCalendarRequest);
    connect(m_batchSelection, &CalendarBatchSelection::ordersForSelectionRefilled, m_state,
            &ScheduleIncomeState::refillOrdersForSelection);
    m_content->addWidget(m_calendar);
    m_scroll->setWidget(m_content);
    column->addWidget(m_scroll, 1);

    auto* fade = new QGraphicsOpacityEffect(m_content);
    fade->setEnabled(false);
    m_content->setGraphicsEffect(fade);
    m_contentFade = new QVariantAnimation(this);
    m_contentFade->setObjectName(QStringLiteral("viewSwitchFade"));
    m_contentFade->setStartValue(0.0);
    m_contentFade->setEndValue(1.0);
    m_contentFade->setDuration(kViewSwitchFadeMs);
    m_contentFade->setEasingCurve(Fader::easeInOut());
    connect(m_contentFade, &QVariantAnimation::valueChanged, fade, [fade](const QVariant& v) {
        fade->setOpacity(v.toReal());
        // Drawn straight once fully there: the effect's off-screen pass costs.
        fade->setEnabled(v.toReal() < 1);
    });
    connect(m_state, &ScheduleIncomeState::viewModeChanged, this, &ScheduleIncomeView::showMode);
    connect(m_state, &ScheduleIncomeState::orderFormRequested, this, &ScheduleIncomeView::openOrderForm);
    connect(m_state, &ScheduleIncomeState::importRequested, this, &ScheduleIncomeView::openImportAlert);
    connect(m_state, &ScheduleIncomeState::orderSelectionRequested, this, &ScheduleIncomeView::openOrderSelection);
    connect(m_state, &ScheduleIncomeState::scrollHintChanged, m_calendar, &CalendarViewBody::setShowScrollHint);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        // Where the end of the content stands, measured from the top of the view.
        m_state->reportScrollOffset(double(m_content->height() - value));
    });
    connect(m_state, &ScheduleIncomeState::searchTextChanged, this, [this](const QString& text) {
        m_calendar->setSearch(text, [this](const QDate& day) { return m_state->hasMatchingOrders(day); });
        if (m_searchField->text() != text)
            m_searchField->setText(text);
        m_clearButton->setVisible(!text.isEmpty());
        if (m_stats)
            m_stats->setSearchText(text);
    });
    connect(m_state, &ScheduleIncomeState::showSearchChanged, m_searchRow,
            [this](bool shown) { m_searchRow->setShown(shown, true); });

    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(this, QStringLiteral("ScheduleViewModeChanged"), [this](const QVariant& object) {
        if (object.typeId() == QMetaType::Bool)
            m_state->setViewMode(object.toBool() ? ScheduleIncomeState::calendarView
                                                 : ScheduleIncomeState::statisticsView);
    });
    center.addObserver(this, QStringLiteral("ScheduleSearchOrder"), [this](const QVariant& object) {
        if (object.typeId() != QMetaType::QString)
            return;
        m_state->setViewMode(ScheduleIncomeState::calendarView);
        m_state->setShowSearch(true);
        m_state->setSearchText(object.toString());
    });

    new ScheduleSwipeFilter(this, [this](QPointF translation, double velocityX) {
        m_state->setViewMode(
            ScheduleSwipe::targetMode(m_state->viewMode(), translation.x(), translation.y(), velocityX));
    });
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
    showMode(m_state->viewMode());
}

QWidget* ScheduleIncomeView::buildHeader()
{
    auto* header = new ThemedPanel(&AppTheme::topBarBackground, this);
    header->setObjectName(QStringLiteral("scheduleHeader"));
    auto* rows = new QVBoxLayout(header);
    rows->setContentsMargins(0, 12, 0, 0);
    rows->setSpacing(8);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(24, 0, 24, 0);
    bar->setSpacing(8);
    bar->addWidget(new StatusLegendView(header));
    bar->addStretch(1);
    PlateButton* search = iconButton(QStringLiteral("magnifyingglass"), QStringLiteral("scheduleSearchButton"), header);
    connect(search, &QAbstractButton::clicked, this, [this] { m_state->setShowSearch(!m_state->showSearch()); });
    bar->addWidget(search);
    PlateButton* settings = iconButton(QStringLiteral("gearshape"), QStringLiteral("scheduleSettingsButton"), header);
    connect(settings, &QAbstractButton::clicked, this, &ScheduleIncomeView::openSettings);
    bar->addWidget(settings);
    PlateButton::Look newLook;
    newLook.fill = &AppTheme::gold;
    newLook.text = &AppTheme::background;
    newLook.font = Fonts::system(13, QFont::Medium);
    newLook.symbol = QStringLiteral("plus.circle.fill");
    newLook.symbolSize = 13;
    newLook.padding = QMargins(14, 7, 14, 7);
    auto* newOrder = new PlateButton(QStringLiteral("新建订单"), newLook, header);
    newOrder->setObjectName(QStringLiteral("scheduleNewOrderButton"));
    newOrder->setCursor(Qt::PointingHandCursor);
    connect(newOrder, &QAbstractButton::clicked, this,
            [this] { m_state->openOrderForm(std::nullopt, QDateTime::currentDateTime()); });
    bar->addWidget(newOrder);
    rows->addLayout(bar);

    rows->addWidget(buildSearchRow());
    rows->addWidget(buildModeBar());
    return header;
}

QWidget* ScheduleIncomeView::buildSearchRow()
{
    auto* outer = new QWidget(this);
    auto* outerLayout = new QHBoxLayout(outer);
    outerLayout->setContentsMargins(24, 0, 24, 0);
    auto* row = new RoundedPanel(&AppTheme::searchBackground, 8, outer);
    row->setObjectName(QStringLiteral("scheduleSearchRow"));
    outerLayout->addWidget(row);
    auto* items = new QHBoxLayout(row);
    items->setContentsMargins(12, 8, 12, 8);
    items->setSpacing(8);
    QFont glassFont(Symbols::fontFamily());
    glassFont.setPixelSize(12);
    auto* glass = new ThemedLabel(Symbols::glyph(QStringLiteral("magnifyingglass")), glassFont,
                                  [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); }, row);
    items->addWidget(glass);
    m_searchField = new QLineEdit(row);
    m_searchField->setObjectName(QStringLiteral("scheduleSearchField"));
    m_searchField->setFrame(false);
    m_searchField->setFont(Fonts::system(13));
    m_searchField->setPlaceholderText(QStringLiteral("搜索客户姓名或电话"));
    auto paintField = [this] {
        QPalette p = m_searchField->palette();
        p.setColor(QPalette::Text, searchTextColor());
        p.setColor(QPalette::Highlight, AppTheme::withOpacity(searchTextColor(), 0.3));
        p.setColor(QPalette::Base, Qt::transparent);
        p.setColor(QPalette::PlaceholderText, AppTheme::readableText(AppTheme::withOpacity(AppTheme::textPrimary(), 0.4)));
        m_searchField->setPalette(p);
    };
    paintField();
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, m_searchField, paintField);
    connect(m_searchField, &QLineEdit::textChanged, m_state, &ScheduleIncomeState::setSearchText);
    items->addWidget(m_searchField, 1);
    PlateButton::Look clearLook;
    clearLook.text = [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); };
    clearLook.symbol = QStringLiteral("xmark.circle.fill");
    clearLook.padding = QMargins(2, 2, 2, 2);
    auto* clear = new PlateButton(QString(), clearLook, row);
    clear->setObjectName(QStringLiteral("scheduleSearchClear"));
    clear->setVisible(false);
    connect(clear, &QAbstractButton::clicked, this, [this] { m_state->setSearchText(QString()); });
    m_clearButton = clear;
    items->addWidget(clear);
    outer->setObjectName(QStringLiteral("scheduleSearch"));
    m_searchRow = new RevealBox(outer, Fader::kDefaultMs, m_state->showSearch(), this);
    return m_searchRow;
}

QWidget* ScheduleIncomeView::buildModeBar()
{
    auto* outer = new QWidget(this);
    auto* outerLayout = new QHBoxLayout(outer);
    outerLayout->setContentsMargins(24, 0, 24, 8);
    auto* bar = new RoundedPanel(&AppTheme::searchBackground, 8, outer);
    bar->setObjectName(QStringLiteral("scheduleModeBar"));
    outerLayout->addWidget(bar);
    auto* items = new QHBoxLayout(bar);
    items->setContentsMargins(0, 0, 0, 0);
    items->setSpacing(0);
    const QString titles[2] = {QStringLiteral("日历视图"), QStringLiteral("收入统计")};
    const QString symbols[2] = {QStringLiteral("calendar"), QStringLiteral("chart.bar")};
    for (int mode = 0; mode < 2; ++mode) {
        PlateButton::Look look;
        look.fill = [this, mode] { return m_state->viewMode() == mode ? AppTheme::gold() : QColor(Qt::transparent); };
        look.text = [this, mode] {
            return m_state->viewMode() == mode ? AppTheme::background()
                                                : AppTheme::withOpacity(AppTheme::textPrimary(), 0.7);
        };
        look.font = Fonts::system(13, QFont::Medium);
        look.symbol = symbols[mode];
        look.symbolSize = 13;
        look.spacing = 6;
        look.radius = 6;
        look.padding = QMargins(3, 11, 3, 11);
        auto* button = new PlateButton(titles[mode], look, bar);
        button->setObjectName(mode == 0 ? QStringLiteral("scheduleCalendarMode") : QStringLiteral("scheduleStatsMode"));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setCursor(Qt::PointingHandCursor);
        connect(button, &QAbstractButton::clicked, this, [this, mode] { m_state->setViewMode(mode); });
        items->addWidget(button);
        m_modeButtons[mode] = button;
    }
    return outer;
}

void ScheduleIncomeView::showMode(int mode)
{
    for (int i = 0; i < 2; ++i) {
        QFont f = Fonts::system(13, i == mode ? QFont::Bold : QFont::Medium);
        PlateButton::Look look = m_modeButtons[i]->look();
        look.font = f;
        m_modeButtons[i]->setLook(look);
    }
    m_calendar->setViewMode(mode);
    if (mode == ScheduleIncomeState::calendarView) {
        if (m_stats)
            m_stats->deleteLater();
        showContent(m_calendar);
        return;
    }
    // Built anew each time it is shown, with the search as it stands.
    if (!m_stats) {
        m_stats = new StatsView(m_orders, m_state->searchText(), m_content);
        m_stats->setObjectName(QStringLiteral("scheduleStatsView"));
        m_content->addWidget(m_stats);
    }
    showContent(m_stats);
}

void ScheduleIncomeView::showContent(QWidget* page)
{
    // The stack takes the height of the page shown, not of its tallest page,
    // and a view switched to starts at its top: the statistics under a
    // calendar scrolled down would otherwise open on blank space.
    for (int i = 0; i < m_content->count(); ++i) {
        QWidget* each = m_content->widget(i);
        const QSizePolicy::Policy policy = each == page ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        each->setSizePolicy(policy, policy);
    }
    m_content->setCurrentWidget(page);
    m_content->adjustSize();
    m_scroll->verticalScrollBar()->setValue(0);
    fadeInContent();
}

void ScheduleIncomeView::fadeInContent()
{
    if (!isVisible())
        return;
    // Clear from the start, however long the new half takes to build and paint.
    auto* fade = static_cast<QGraphicsOpacityEffect*>(m_content->graphicsEffect());
    fade->setOpacity(0);
    fade->setEnabled(true);
    m_contentFade->start();
}

void ScheduleIncomeView::onCalendarRequest(const CalendarRequest& request)
{
    if (request.date.isValid())
        m_state->setSelectedDate(request.date.startOfDay());
    switch (request.kind) {
    case CalendarRequest::Kind::newOrder:
        m_state->openOrderForm(std::nullopt, m_state->selectedDate());
        break;
    case CalendarRequest::Kind::editOrder:
        m_state->openOrderForm(request.order, m_state->selectedDate());
        break;
    case CalendarRequest::Kind::selectOrders:
        m_state->openOrderSelection(request.orders);
        break;
    case CalendarRequest::Kind::importEvent:
        if (request.event)
            m_state->offerImport(*request.event);
        break;
    case CalendarRequest::Kind::none:
        break;
    }
}

void ScheduleIncomeView::openOrderForm()
{
    const std::optional<Order> editing = m_state->editingOrder();
    auto* form = new OrderFormView(editing, m_state->selectedDate(), [this, editing](const Order& built) {
        if (m_flows->saveOrder(built, editing.has_value()))
            return true;
        // A disk that refused has its own alert, and the form stays open.
        if (!m_orders.lastSaveError().isEmpty())
            return false;
        notice(ScheduleOrderFlows::saveRefusedMessage());
        return true;
    }, this);
    form->setObjectName(QStringLiteral("scheduleOrderForm"));
    form->setWindowModality(Qt::WindowModal);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->open();
}

void ScheduleIncomeView::openOrderSelection()
{
    auto* sheet = new OrderSelectionSheet(m_state->ordersForSelection(), [this](const Order& picked) {
        m_state->openOrderForm(picked, m_state->selectedDate());
    }, this);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_state, &ScheduleIncomeState::ordersForSelectionChanged, sheet, &OrderSelectionSheet::setOrders);
    connect(m_batchSelection, &CalendarBatchSelection::syncingCalendarChanged, sheet, &OrderSelectionSheet::setSyncing);
    // A check still running when the sheet goes must not refill a list no
    // one sees, nor the next day's sheet.
    connect(sheet, &QDialog::finished, m_batchSelection, [selection = m_batchSelection] {
        selection->setSelectionSheetDay(QDate());
    });
    sheet->open();
    m_batchSelection->startEventCheck(m_state->selectedDate().date());
    sheet->setSyncing(m_batchSelection->isSyncingCalendar());
}

void ScheduleIncomeView::openSettings()
{
    StatsReporter::shared().report(QStringLiteral("open_settings"), QString());
    // The sheet's open sections and half-typed rows live as long as the
    // screen, not the sheet: "完成" and reopening find them as they were.
    if (!m_settingsState)
        m_settingsState = new ScheduleSettingsState(m_defaults, m_orders, PackageManager::shared(), m_sync,
                                                    m_sync.notificationCenter(), this);
    auto* sheet = new ScheduleSettingsSheet(*m_settingsState, this);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

QMessageBox* ScheduleIncomeView::lastAlert() const
{
    return m_lastAlert.data();
}

QMessageBox* ScheduleIncomeView::alert(const QString& title, const QString& message, const QList<AlertButton>& buttons,
                                       int defaultAt)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, title, message, QMessageBox::NoButton, this);
    box->setTextFormat(Qt::PlainText);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_lastAlert = box;
    // Every button before the box opens: one opened bare adds its own "确定".
    for (int i = 0; i < buttons.size(); ++i) {
        QPushButton* button = box->addButton(buttons[i].text, QMessageBox::ButtonRole(buttons[i].role));
        if (i == defaultAt)
            box->setDefaultButton(button);
        if (buttons[i].role == QMessageBox::RejectRole || buttons.size() == 1)
            box->setEscapeButton(button);
    }
    box->open();
    return box;
}

void ScheduleIncomeView::notice(const QString& message)
{
    alert(QStringLiteral("提示"), message, {{QStringLiteral("好"), QMessageBox::AcceptRole}});
}

void ScheduleIncomeView::openImportAlert()
{
    const std::optional<ShootEvent> event = m_state->eventToImport();
    QMessageBox* box = alert(QStringLiteral("导入为订单"), ScheduleOrderFlows::importMessage(event),
                             {{QStringLiteral("取消"), QMessageBox::RejectRole},
                              {QStringLiteral("导入"), QMessageBox::AcceptRole}},
                             1);
    connect(box, &QMessageBox::finished, this, [this, box, event] {
        if (box->buttonRole(box->clickedButton()) == QMessageBox::AcceptRole && event)
            m_flows->importEvent(*event);
        m_state->clearEventToImport();
    });
}

void ScheduleIncomeView::openFirstTimeGuide()
{
    QMessageBox* box = alert(QStringLiteral("开启日历同步"),
                             QStringLiteral("开启日历同步后，系统日历中的拍摄档期（含在线日历账户从手机同步来的）会自动同步到软件中。请在权限弹窗中选择「完全访问」。"),
                             {{QStringLiteral("知道了，去开启"), QMessageBox::AcceptRole},
                              {QStringLiteral("稍后再说"), QMessageBox::RejectRole}});
    CalendarSyncManager* sync = &m_sync;
    connect(box, &QMessageBox::finished, this, [box, sync] {
        if (box->buttonRole(box->clickedButton()) != QMessageBox::AcceptRole)
            return;
        sync->requestCalendarPermission([sync](bool granted, const std::optional<QString>&) {
            if (granted)
                sync->refreshEvents();
        });
    });
}

void ScheduleIncomeView::showEvent(QShowEvent* event)
{
    ThemedPanel::showEvent(event);
    if (!event->spontaneous())
        onAppear();
}

void ScheduleIncomeView::onAppear()
{
    const bool enabled = m_sync.calendarSyncEnabled();
    if (enabled)
        m_sync.checkPermissionAndAutoRefresh();
    if (m_defaults.boolean(ScheduleKeys::firstTimeGuideShown) || !enabled)
        return;
    if (m_sync.eventStore().authorizationStatus() == CalendarAuthorizationStatus::FullAccess)
        return;
    m_defaults.set(ScheduleKeys::firstTimeGuideShown, true);
    openFirstTimeGuide();
}
