#include "ContentView.h"

#include "app/AppKeys.h"
#include "app/GlobalSearchManager.h"
#include "platform/AppVersion.h"
#include "app/MenuSelection.h"
#include "app/PendingScreenView.h"
#include "app/SidebarView.h"
#include "app/TopBarView.h"
#include "ftp/FtpServerController.h"
#include "ftp/FtpTransferView.h"
#include "online/FeedbackManager.h"
#include "online/OnlineKeys.h"
#include "online/SoftwareUpdatePrefs.h"
#include "online/SoftwareUpdateView.h"
#include "online/StatsReporter.h"
#include "online/UpdateChecker.h"
#include "platform/NotificationCenter.h"
#include "platform/Product.h"
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

#include <QApplication>
#include <QHash>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString kAutoImport = QStringLiteral("自动导片");
const QString kSplit = QStringLiteral("自动分离");
const QString kQuickFilter = QStringLiteral("快速分片");
const QString kFtp = QStringLiteral("FTP传输");
const QString kSchedule = QStringLiteral("档期收入");
const QString kSoftwareUpdate = QStringLiteral("软件更新");
}

ContentView::ContentView(QWidget* parent)
    : ThemedPanel(&AppTheme::background, parent)
    , m_softwareUpdateItem(MenuItem::make(kSoftwareUpdate, QStringLiteral("arrow.down.circle"), false, false, {}))
{
    setObjectName(QStringLiteral("contentView"));
    setMinimumSize(900, 600);

    const QStringList hidden = [] {
        QStringList names;
        for (const QVariant& v : UserDefaults::standard().array(OnlineKeys::remoteHiddenFeatures).value_or(QVariantList()))
            if (v.typeId() == QMetaType::QString)
                names.append(v.toString());
        return names;
    }();
    m_menuItems = visibleMenuItems(fullMenu(), hidden);

    m_ftpController = new FtpServerController(this);
    m_selection = new MenuSelection(this);
    const QString target = launchPageTitle(UserDefaults::standard().string(SettingsKeys::defaultLaunchPage));
    for (const MenuItem& item : m_menuItems) {
        if (item.title == target) {
            m_selection->setSelected(item);
            break;
        }
    }

    m_updateChecker = new UpdateChecker(AppVersion::currentVersionText(), this);
    connect(m_updateChecker, &UpdateChecker::updateResultChanged, this,
            [](const std::optional<UpdateResult>& result) {
                if (result && result->kind == UpdateResult::Kind::hasUpdate)
                    UserDefaults::standard().set(OnlineKeys::seenUpdateHint, QString());
            });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_topBar = makeTopBar();
    column->addWidget(m_topBar);
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    m_sidebar = new SidebarView(m_menuItems, m_selection, m_updateChecker, m_softwareUpdateItem, this);
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

QList<MenuItem> ContentView::fullMenu()
{
    return {
        MenuItem::make(kAutoImport, "tray.and.arrow.down", true, false, "一键从储存卡复制照片到桌面"),
        MenuItem::make(kSplit, "square.split.2x1", true, false, "一键分离 RAW原图与JPG"),
        MenuItem::make(kQuickFilter, "line.3.horizontal.decrease.circle", true, false,
                       "通过文件名快速找到文件夹中对应名称的Raw格式"),
        MenuItem::make(kFtp, "network", false, false, "相机照片/视频实时无线传输到电脑"),
        MenuItem::make(kSchedule, "calendar", false, false, "记录拍摄档期和客单收入\n自动统计每月营收情况"),
        MenuItem::make("照片设计", "wand.and.stars", false, true, "照片美化与设计工具"),
        MenuItem::make("批量小工具", "square.grid.2x2", false, true, "批量转档、压缩、水印等实用工具"),
        MenuItem::make("自动删废片", "trash", false, true, "自动帮你挑选出闭眼、虚焦、严重过曝等照片"),
        MenuItem::make("作品展示", "photo.on.rectangle.angled", false, true, "可快速分享给客户浏览你的作品集"),
        MenuItem::make("在线选片", "checkmark.circle", false, true,
                       QStringLiteral("小程序在线选片，自动同步%1一键导出Raw/JPG格式照片")
                           .arg(QString::fromLatin1(Product::kDisplayName))),
    };
}

const QStringList& ContentView::coreTitles()
{
    static const QStringList titles{kAutoImport, kSplit, kQuickFilter, kFtp, kSchedule};
    return titles;
}

QList<MenuItem> ContentView::visibleMenuItems(const QList<MenuItem>& all, const QStringList& hidden)
{
    QList<MenuItem> kept;
    for (const MenuItem& item : all) {
        if (coreTitles().contains(item.title) || !hidden.contains(item.title))
            kept.append(item);
    }
    return kept;
}

QString ContentView::launchPageTitle(const std::optional<QString>& stored)
{
    const QString page = stored.value_or(kAutoImport);
    if (page == kSplit || page == QStringLiteral("素材分离"))
        return kSplit;
    if (page == kQuickFilter || page == QStringLiteral("快速分片RAW"))
        return kQuickFilter;
    if (page == QStringLiteral("自动删废片") || page == QStringLiteral("自动删费片"))
        return QStringLiteral("自动删废片");
    static const QStringList themselves{kFtp, kSchedule, "照片设计", "批量小工具", "作品展示", "在线选片"};
    if (themselves.contains(page))
        return page;
    return kAutoImport;
}

QString ContentView::usageEventName(const QString& title)
{
    static const QHash<QString, QString> events{
        {kAutoImport, "auto_import"}, {kSplit, "split_raw"}, {kQuickFilter, "quick_filter"},
        {kFtp, "ftp_page"},           {kSchedule, "schedule"}, {kSoftwareUpdate, "check_update"},
    };
    return events.value(title);
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

// The one table from a menu title to its screen. A screen still to be built
// is a marked placeholder; a finished screen replaces its line.
QWidget* ContentView::makeScreen(const std::optional<MenuItem>& menu)
{
    const QString title = menu ? menu->title : QString();
    if (title == kAutoImport)
        return new AutoImportView(this);
    if (title == kSplit)
        return new SplitRawJpgView(this);
    if (title == kQuickFilter)
        return new QuickFilterView(this);
    if (title == kSchedule)
        return new ScheduleIncomeView(this);
    if (title == kFtp)
        return new FtpTransferView(m_ftpController, this);
    if (title == kSoftwareUpdate)
        return new SoftwareUpdateView(m_updateChecker, [this] { returnFromSoftwareUpdate(); }, this);
    if (title == QStringLiteral("批量小工具"))
        return new BatchToolsView(this);
    if (title == QStringLiteral("作品展示") || title == QStringLiteral("在线选片"))
        return new ComingSoonView(menu, this);
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
        const QString event = usageEventName(selected->title);
        if (!event.isEmpty())
            StatsReporter::shared().report(event, QString());
    }
}

void ContentView::selectTitle(const QString& title)
{
    for (const MenuItem& item : m_menuItems) {
        if (item.title == title) {
            m_selection->setSelected(item);
            return;
        }
    }
    m_selection->setSelected(std::nullopt);
}

void ContentView::observeNavigation()
{
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(this, QStringLiteral("NavigateToMenu"), [this](const QVariant& object) {
        if (object.typeId() == QMetaType::QString)
            selectTitle(object.toString());
    });
    // The schedule screen is built synchronously by the selection change, so
    // it is there to receive the follow-up posted right after.
    center.addObserver(this, QStringLiteral("NavigateToScheduleView"), [this](const QVariant& object) {
        selectTitle(kSchedule);
        if (object.typeId() == QMetaType::Bool)
            NotificationCenter::defaultCenter().post(QStringLiteral("ScheduleViewModeChanged"), object);
    });
    center.addObserver(this, QStringLiteral("SearchOrderInSchedule"), [this](const QVariant& object) {
        selectTitle(kSchedule);
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
    UserDefaults& defaults = UserDefaults::standard();
    if (!defaults.string(OnlineKeys::seenUpdateHint))
        defaults.set(OnlineKeys::seenUpdateHint, AppVersion::currentVersionText());
    SoftwareUpdateAutoCheck::runIfNeeded(m_updateChecker);
    // One poll timer per window, however often it appears.
    if (!m_feedbackTimer->isActive())
        m_feedbackTimer->start();
    if (!m_autoCheckTimer->isActive())
        m_autoCheckTimer->start();
}

void ContentView::runAutoCheck() { SoftwareUpdateAutoCheck::runIfNeeded(m_updateChecker); }
