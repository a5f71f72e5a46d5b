#include "ContentView.h"

#include "app/AppKeys.h"
#include "app/GlobalSearchManager.h"
#include "app/MenuCatalog.h"
#include "app/MenuSelection.h"
#include "app/PendingScreenView.h"
#include "app/SidebarView.h"
#include "app/TopBarView.h"
#include "app/UpdateNotice.h"
#include "ftp/FtpServerController.h"
#include "ftp/FtpTransferView.h"
#include "online/FeedbackManager.h"
#include "online/SoftwareUpdatePrefs.h"
#include "online/SoftwareUpdateView.h"
#include "online/StatsReporter.h"
#include "online/UpdateChecker.h"
#include "platform/AppVersion.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "schedule/ScheduleIncomeView.h"
#include "settings/SettingsKeys.h"
#include "tools/AutoImportView.h"
#include "tools/BatchToolsView.h"
#include "tools/QuickFilterView.h"
#include "tools/SplitRawJpgView.h"
#include "tools/ComingSoonView.h"
#include "tools/DropZoneView.h"
#include "ui/AppTheme.h"
#include "ui/FirstPaint.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

ContentView::ContentView(QWidget* parent)
    : ThemedPanel(&AppTheme::background, parent)
    , m_softwareUpdateItem(MenuCatalog::softwareUpdateItem())
{
    setObjectName(QStringLiteral("contentView"));
    setMinimumSize(900, 600);

    m_menuItems = MenuCatalog::shownMenu();
    m_ftpController = new FtpServerController(this);
    m_selection = new MenuSelection(this);
    // A launch page hidden remotely opens nothing selected.
    const ScreenId launch = MenuCatalog::launchPage(UserDefaults::standard().string(SettingsKeys::defaultLaunchPage));
    m_selection->setSelected(shownEntry([launch](const MenuItem& item) { return item.screen == launch; }));

    m_updateChecker = new UpdateChecker(AppVersion::currentVersionText(), this);
    m_updateNotice = new UpdateNotice(m_updateChecker, this);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_topBar = makeTopBar();
    column->addWidget(m_topBar);
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    m_sidebar = new SidebarView(m_menuItems, m_selection, m_updateNotice, m_softwareUpdateItem, this);
    row->addWidget(m_sidebar);
    m_detailLayout = new QVBoxLayout;
    m_detailLayout->setContentsMargins(0, 0, 0, 0);
    row->addLayout(m_detailLayout, 1);
    column->addLayout(row, 1);
    m_topBar->raise();

    showScreenForSelection();
    connect(m_selection, &MenuSelection::selectedChanged, this, &ContentView::onSelectionChanged);

    m_feedbackTimer = new QTimer(this);
    m_feedbackTimer->setInterval(kFeedbackPollMs);
    connect(m_feedbackTimer, &QTimer::timeout, this, [] { FeedbackManager::shared().checkNewReplies(); });
    m_autoCheckTimer = new QTimer(this);
    m_autoCheckTimer->setInterval(kAutoCheckMs);
    connect(m_autoCheckTimer, &QTimer::timeout, this, &ContentView::runAutoCheck);
    m_focusTimer = new QTimer(this);
    m_focusTimer->setSingleShot(true);
    m_focusTimer->setInterval(kFocusReleaseMs);
    connect(m_focusTimer, &QTimer::timeout, this, [] {
        if (QWidget* window = QApplication::activeWindow())
            if (QWidget* focus = window->focusWidget())
                focus->clearFocus();
    });

    observeNavigation();
}

std::optional<MenuItem> ContentView::selectedMenu() const { return m_selection->selected(); }

void ContentView::setSelectedMenu(const std::optional<MenuItem>& item) { m_selection->setSelected(item); }

QWidget* ContentView::makeTopBar()
{
    m_searchManager = new GlobalSearchManager({}, this);
    auto* bar = new TopBarView(m_searchManager, this);
    bar->setFixedHeight(kTopBarHeight);
    return bar;
}

// The one table from a screen to its page. A screen still to be built is a
// marked placeholder; a finished screen replaces its line.
QWidget* ContentView::makeScreen(const std::optional<MenuItem>& menu)
{
    switch (menu ? menu->screen : ScreenId::none) {
    case ScreenId::autoImport:
        return new AutoImportView(this);
    case ScreenId::splitRawJpg:
        return new SplitRawJpgView(this);
    case ScreenId::quickFilter:
        return new QuickFilterView(this);
    case ScreenId::schedule:
        return new ScheduleIncomeView(this);
    case ScreenId::ftp:
        return new FtpTransferView(m_ftpController, this);
    case ScreenId::softwareUpdate:
        return new SoftwareUpdateView(m_updateChecker, [this] { returnFromSoftwareUpdate(); }, this);
    case ScreenId::batchTools:
        return new BatchToolsView(this);
    case ScreenId::portfolio:
    case ScreenId::onlineSelection:
        return new ComingSoonView(menu, this);
    case ScreenId::photoDesign:
    case ScreenId::deleteRejects:
    case ScreenId::none:
        break;
    }
    return new DropZoneView(menu, this);
}

void ContentView::showScreenForSelection()
{
    if (m_screen) {
        // The old screen may be the sender of this change (a back button):
        // it goes at the next turn, hidden and out of the layout at once.
        m_detailLayout->removeWidget(m_screen);
        m_screen->hide();
        m_screen->deleteLater();
    }
    m_screen = makeScreen(m_selection->selected());
    m_screen->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_detailLayout->addWidget(m_screen);
    m_screen->show();
}

void ContentView::onSelectionChanged()
{
    showScreenForSelection();
    NotificationCenter::defaultCenter().post(QStringLiteral("DismissSearchFocus"));
    if (const auto& selected = m_selection->selected()) {
        const QString event = MenuCatalog::usageEventName(selected->screen);
        if (!event.isEmpty())
            StatsReporter::shared().report(event, QString());
    }
}

std::optional<MenuItem> ContentView::shownEntry(const std::function<bool(const MenuItem&)>& matches) const
{
    for (const MenuItem& item : m_menuItems)
        if (matches(item))
            return item;
    return std::nullopt;
}

void ContentView::selectSchedule()
{
    m_selection->setSelected(shownEntry([](const MenuItem& item) { return item.screen == ScreenId::schedule; }));
}

void ContentView::observeNavigation()
{
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(this, QStringLiteral("NavigateToMenu"), [this](const QVariant& object) {
        // Other parts name an entry by its title: that is what they post.
        if (object.typeId() == QMetaType::QString) {
            const QString title = object.toString();
            m_selection->setSelected(shownEntry([&title](const MenuItem& item) { return item.title == title; }));
        }
    });
    // The schedule screen is built synchronously by the selection change, so
    // it is there to receive the follow-up posted right after.
    center.addObserver(this, QStringLiteral("NavigateToScheduleView"), [this](const QVariant& object) {
        selectSchedule();
        if (object.typeId() == QMetaType::Bool)
            NotificationCenter::defaultCenter().post(QStringLiteral("ScheduleViewModeChanged"), object);
    });
    center.addObserver(this, QStringLiteral("SearchOrderInSchedule"), [this](const QVariant& object) {
        selectSchedule();
        if (object.typeId() == QMetaType::QString)
            NotificationCenter::defaultCenter().post(QStringLiteral("ScheduleSearchOrder"), object);
    });
}

void ContentView::returnFromSoftwareUpdate()
{
    if (const auto& last = m_selection->lastBeforeUpdate())
        m_selection->setSelected(last);
    else if (!m_menuItems.isEmpty())
        m_selection->setSelected(m_menuItems.first());
    else
        m_selection->setSelected(std::nullopt);
}

void ContentView::showEvent(QShowEvent* event)
{
    ThemedPanel::showEvent(event);
    // Restoring a minimised window is not a new appearance.
    if (!event->spontaneous())
        onAppear();
}

void ContentView::hideEvent(QHideEvent* event)
{
    ThemedPanel::hideEvent(event);
    if (event->spontaneous())
        return;
    m_feedbackTimer->stop();
    m_autoCheckTimer->stop();
    m_focusTimer->stop();
}

void ContentView::onAppear()
{
    m_focusTimer->start();
    // A synced write and a network request wait for the frame.
    FirstPaint::after(this, this, [this] {
        m_updateNotice->seedIfAbsent();
        SoftwareUpdateAutoCheck::runIfNeeded(m_updateChecker);
    });
    // One poll timer per window, however often it appears.
    if (!m_feedbackTimer->isActive())
        m_feedbackTimer->start();
    if (!m_autoCheckTimer->isActive())
        m_autoCheckTimer->start();
}

void ContentView::runAutoCheck() { SoftwareUpdateAutoCheck::runIfNeeded(m_updateChecker); }
