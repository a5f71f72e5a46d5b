#include "TopBarView.h"

#include "app/GlobalSearchManager.h"
#include "app/MenuCatalog.h"
#include "app/SearchResultsView.h"
#include "app/TopBarSheets.h"
#include "online/StatsReporter.h"
#include "orderbook/OrderManager.h"
#include "orderbook/PackageManager.h"
#include "platform/NotificationCenter.h"
#include "settings/AppIconManager.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/RoundedPanel.h"
#include "ui/Symbols.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QColor kAccent = QColor::fromRgbF(0.804f, 0.357f, 0.169f);

// The 44-pt logo: a rounded image, outlined in gold in the dark theme.
class LogoView : public QWidget
{
public:
    explicit LogoView(QWidget* parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("topBarLogo"));
        setFixedSize(44, 44);
        connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] {
            m_image = {};
            update();
        });
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const bool dark = AppTheme::isDark();
        if (m_image.isNull())
            m_image = AppIconManager::makeImage(dark ? AppIconStyle::cameraGold : AppIconStyle::cameraOrange, 88);
        QPainter p(this);
        p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), 8, 8);
        p.save();
        p.setClipPath(clip);
        p.drawImage(QRectF(rect()), m_image);
        p.restore();
        if (dark) {
            p.setPen(QPen(AppTheme::gold(), 1.5));
            p.drawPath(clip);
        }
    }

private:
    QImage m_image;
};

// "Kelvara" filled with the brand gradient of the current theme.
class BrandTitle : public QWidget
{
public:
    explicit BrandTitle(QWidget* parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("topBarTitle"));
        const QFontMetrics fm(font18());
        setFixedSize(fm.horizontalAdvance(text()) + 2, fm.height());
        connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, qOverload<>(&QWidget::update));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient gradient(0, 0, width(), 0);
        if (AppTheme::isDark()) {
            gradient.setColorAt(0, QColor::fromRgbF(1.0f, 0.85f, 0.45f));
            gradient.setColorAt(1, QColor::fromRgbF(0.804f, 0.357f, 0.169f));
        } else {
            gradient.setColorAt(0, QColor::fromRgbF(0.88f, 0.52f, 0.16f));
            gradient.setColorAt(1, QColor::fromRgbF(0.75f, 0.3f, 0.09f));
        }
        QPainterPath path;
        path.addText(0, QFontMetrics(font18()).ascent(), font18(), text());
        p.fillPath(path, gradient);
    }

private:
    static QFont font18() { return Fonts::system(18, QFont::Bold); }
    static QString text() { return QStringLiteral("Kelvara"); }
};

QColor primaryAt(qreal opacity) { return AppTheme::withOpacity(AppTheme::textPrimary(), opacity); }
}

TopBarView::TopBarView(GlobalSearchManager* manager, QWidget* parent)
    : ThemedPanel(&AppTheme::topBarBackground, parent)
    , m_manager(manager)
{
    setObjectName(QStringLiteral("topBar"));
    setFixedHeight(kHeight);
    m_sheetFactory = [this](Sheet sheet, QWidget* owner) {
        return TopBarSheets::make(sheet, owner, [this] {
            if (m_sheet)
                m_sheet->close();
            QTimer::singleShot(kPackageSheetDelayMs, this, [this] { present(Sheet::packageSettings); });
        });
    };

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 12, 0, 12);
    row->setSpacing(16);
    row->addWidget(makeBrand());
    row->addStretch(1);
    row->addWidget(makeSearchBlock());
    row->addStretch(1);

    auto* actions = new QHBoxLayout;
    actions->setContentsMargins(0, 0, 16, 0);
    actions->setSpacing(10);
    PlateButton::Look tutorialLook;
    tutorialLook.symbol = QStringLiteral("play.fill");
    tutorialLook.symbolSize = 13;
    tutorialLook.spacing = 6;
    tutorialLook.font = Fonts::system(13, QFont::Medium);
    tutorialLook.padding = QMargins(14, 7, 14, 7);
    tutorialLook.fill = &AppTheme::cardBackground;
    tutorialLook.text = &AppTheme::textGold;
    auto* tutorial = new PlateButton(QStringLiteral("教程"), tutorialLook, this);
    tutorial->setObjectName(QStringLiteral("tutorialButton"));
    connect(tutorial, &QAbstractButton::clicked, this, [this] { present(Sheet::tutorial); });
    PlateButton::Look settingsLook;
    settingsLook.symbol = QStringLiteral("gearshape.fill");
    settingsLook.symbolSize = 13;
    settingsLook.fixedSize = QSize(32, 32);
    settingsLook.padding = QMargins();
    settingsLook.fill = &AppTheme::cardBackground;
    settingsLook.text = &AppTheme::textGold;
    auto* settings = new PlateButton(QString(), settingsLook, this);
    settings->setObjectName(QStringLiteral("settingsButton"));
    settings->setAccessibleName(QStringLiteral("设置"));
    connect(settings, &QAbstractButton::clicked, this, [this] {
        StatsReporter::shared().report(QStringLiteral("open_settings"), QString());
        present(Sheet::settings);
    });
    actions->addWidget(tutorial);
    actions->addWidget(settings);
    row->addLayout(actions);

    connect(m_manager, &GlobalSearchManager::searchTextChanged, this, &TopBarView::onSearchTextChanged);
    connect(m_manager, &GlobalSearchManager::isRecordingChanged, this, &TopBarView::updateMicrophone);
    connect(m_manager, &GlobalSearchManager::microphonePermissionGrantedChanged, this, &TopBarView::updateMicrophone);
    connect(m_manager, &GlobalSearchManager::speechAvailableChanged, this, &TopBarView::updateMicrophone);
    connect(m_manager, &GlobalSearchManager::microphoneChanged, this, &TopBarView::updateMicrophone);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] {
        QPalette pal = m_field->palette();
        pal.setColor(QPalette::Text, AppTheme::textPrimary());
        pal.setColor(QPalette::PlaceholderText, AppTheme::readableText(primaryAt(0.4)));
        m_field->setPalette(pal);
        updateMicrophone();
        refreshResults();
    });
    NotificationCenter::defaultCenter().addObserver(this, QStringLiteral("DismissSearchFocus"),
                                                    [this](const QVariant&) { m_field->clearFocus(); });
    updateMicrophone();
    onSearchTextChanged(m_manager->searchText());
}

TopBarView::~TopBarView()
{
    // The list lives in the window, not in the bar.
    delete m_results;
}

QWidget* TopBarView::makeBrand()
{
    auto* brand = new QWidget(this);
    auto* row = new QHBoxLayout(brand);
    row->setContentsMargins(16, 0, 0, 0);
    row->setSpacing(12);
    row->addWidget(new LogoView(brand));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(new BrandTitle(brand));
    auto* slogan = new ThemedLabel(QStringLiteral("摄影师的最佳搭档丨告别繁琐·一键整理"), Fonts::system(12),
                                   [] {
                                       return AppTheme::withOpacity(
                                           AppTheme::isDark() ? AppTheme::textGold() : AppTheme::menuTextNormal(), 0.7);
                                   },
                                   brand);
    slogan->setObjectName(QStringLiteral("topBarSlogan"));
    texts->addWidget(slogan);
    row->addLayout(texts);
    return brand;
}

QWidget* TopBarView::makeSearchBlock()
{
    auto* block = new RoundedPanel(&AppTheme::searchBackground, 8, this);
    block->setObjectName(QStringLiteral("searchBlock"));
    block->setFixedSize(SearchResultsView::kWidth, 36);
    m_searchBlock = block;
    auto* row = new QHBoxLayout(block);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(8);

    auto* magnifier = new ThemedLabel(Symbols::glyph(QStringLiteral("magnifyingglass")), Symbols::font(13),
                                      [] { return AppTheme::isDark() ? AppTheme::textGold() : AppTheme::menuTextNormal(); },
                                      block);
    row->addWidget(magnifier);

    m_field = new QLineEdit(block);
    m_field->setObjectName(QStringLiteral("globalSearchField"));
    m_field->setFrame(false);
    m_field->setFont(Fonts::system(13));
    m_field->setPlaceholderText(QStringLiteral("搜索功能、设置、订单..."));
    m_field->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_field->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; padding: 0; }"));
    QPalette pal = m_field->palette();
    pal.setColor(QPalette::Text, AppTheme::textPrimary());
    pal.setColor(QPalette::PlaceholderText, AppTheme::readableText(primaryAt(0.4)));
    pal.setColor(QPalette::Highlight, AppTheme::withOpacity(kAccent, 0.5));
    m_field->setPalette(pal);
    m_field->installEventFilter(this);
    connect(m_field, &QLineEdit::textEdited, m_manager, &GlobalSearchManager::setSearchText);
    row->addWidget(m_field, 1);

    PlateButton::Look clearLook;
    clearLook.symbol = QStringLiteral("xmark");
    clearLook.symbolSize = 10;
    clearLook.fixedSize = QSize(18, 18);
    clearLook.padding = QMargins();
    clearLook.round = true;
    clearLook.fill = [] { return QColor(255, 255, 255, 38); };
    clearLook.text = [] { return primaryAt(0.7); };
    m_clear = new PlateButton(QString(), clearLook, block);
    m_clear->setObjectName(QStringLiteral("searchClearButton"));
    m_clear->setToolTip(QStringLiteral("清空搜索"));
    connect(m_clear, &QAbstractButton::clicked, this, [this] {
        m_manager->setSearchText(QString());
        m_selected.reset();
    });
    row->addWidget(m_clear);

    m_mic = new PlateButton(QString(), PlateButton::Look{}, block);
    m_mic->setObjectName(QStringLiteral("microphoneButton"));
    connect(m_mic, &QAbstractButton::clicked, this, [this] {
        if (m_manager->isRecording())
            m_manager->stopRecording();
        else
            m_manager->startRecording();
    });
    row->addWidget(m_mic);

    auto* searchLabel = new ThemedLabel(QStringLiteral("搜索"), Fonts::system(12), [] { return primaryAt(0.4); }, block);
    row->addWidget(searchLabel);
    return block;
}

void TopBarView::updateMicrophone()
{
    PlateButton::Look look;
    look.padding = QMargins(0, 0, 0, 0);
    look.symbolSize = 14;
    look.fixedSize = QSize(20, 20);
    if (m_manager->isRecording()) {
        look.symbol = QStringLiteral("mic.fill");
        look.symbolScale = 1.2;
        look.text = [] { return kAccent; };
    } else {
        const bool usable = m_manager->microphonePermissionGranted() && m_manager->speechAvailable()
            && m_manager->microphoneFound();
        look.symbol = QStringLiteral("mic");
        look.text = [usable] { return primaryAt(usable ? 0.4 : 0.2); };
    }
    m_mic->setLook(look);
    if (!m_manager->speechAvailable())
        m_mic->setToolTip(QStringLiteral("语音输入不可用：") + m_manager->speechUnavailableReason());
    else if (!m_manager->microphonePermissionGranted())
        m_mic->setToolTip(QStringLiteral("麦克风权限未开启，请在系统设置中开启"));
    else if (m_manager->soundServiceMissing())
        m_mic->setToolTip(QStringLiteral("语音输入不可用：首次使用时系统声音服务未运行，请在声音服务运行后重新启动本应用"));
    else if (!m_manager->microphoneFound())
        m_mic->setToolTip(QStringLiteral("语音输入不可用：未找到麦克风，接入麦克风后再点击"));
    else
        m_mic->setToolTip(QStringLiteral("点击语音搜索"));
}

QList<SearchItem> TopBarView::flatten(const QList<SearchGroup>& groups)
{
    QList<SearchItem> flat;
    for (const SearchGroup& group : groups)
        flat.append(group.items.mid(0, kRowsPerGroup));
    return flat;
}

SearchResultsView* TopBarView::resultsView() const { return m_results.data(); }

bool TopBarView::showDropdown() const { return !m_manager->searchText().trimmed().isEmpty(); }

void TopBarView::markIndexDirty()
{
    m_indexDirty = true;
    if (showDropdown())
        refreshResults();
}

// Rebuilt only when a store changes, not at every key: the search itself is
// one pass over a few dozen items.
const QList<SearchItem>& TopBarView::searchIndex()
{
    if (!m_watchingStores) {
        // The stores are read at the first search, not while the window is
        // still to show its first frame.
        m_watchingStores = true;
        connect(&OrderManager::shared(), &OrderManager::ordersChanged, this, &TopBarView::markIndexDirty);
        connect(&PackageManager::shared(), &PackageManager::packagesChanged, this, &TopBarView::markIndexDirty);
    }
    if (m_indexDirty) {
        m_index = GlobalSearchManager::buildSearchIndex(MenuCatalog::searchMenu(), OrderManager::shared().orders(),
                                                        PackageManager::shared().packages());
        m_indexDirty = false;
    }
    return m_index;
}

void TopBarView::onSearchTextChanged(const QString& text)
{
    if (m_field->text() != text)
        m_field->setText(text);
    m_clear->setVisible(!text.isEmpty());
    m_selected.reset();
    refreshResults();
}

void TopBarView::refreshResults()
{
    if (!showDropdown()) {
        m_flat.clear();
        if (m_results)
            m_results->hide();
        return;
    }
    m_flat = flatten(GlobalSearchManager::performSearch(m_manager->searchText(), searchIndex()));
    if (m_selected && *m_selected >= m_flat.size())
        m_selected.reset();
    if (!m_results || m_results->parentWidget() != window()) {
        delete m_results;
        m_results = new SearchResultsView(window());
        connect(m_results, &SearchResultsView::itemClicked, this, [this](int index) {
            if (index < 0 || index >= m_flat.size())
                return;
            handleSearchItemClick(m_flat.at(index));
            m_selected.reset();
            m_manager->setSearchText(QString());
        });
    }
    m_results->setResults(m_flat, m_manager->searchText(), m_selected);
    placeResults();
    m_results->show();
    m_results->raise();
}

void TopBarView::placeResults()
{
    if (!m_results || !m_searchBlock)
        return;
    m_results->move(m_searchBlock->mapTo(m_results->parentWidget(), QPoint(0, 44)));
}

void TopBarView::resizeEvent(QResizeEvent* event)
{
    ThemedPanel::resizeEvent(event);
    placeResults();
}

void TopBarView::moveEvent(QMoveEvent* event)
{
    ThemedPanel::moveEvent(event);
    placeResults();
}

bool TopBarView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress)
        return handleKey(static_cast<QKeyEvent*>(event)->key());
    if (watched == m_field && event->type() == QEvent::ShortcutOverride
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return ThemedPanel::eventFilter(watched, event);
}

bool TopBarView::handleKey(int key)
{
    switch (key) {
    case Qt::Key_Down:
        if (m_flat.isEmpty())
            return true;
        if (!m_selected)
            m_selected = 0;
        else if (*m_selected < m_flat.size() - 1)
            ++*m_selected;
        break;
    case Qt::Key_Up:
        if (m_selected && *m_selected > 0)
            --*m_selected;
        else
            m_selected.reset();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_selected && *m_selected < m_flat.size()) {
            const SearchItem chosen = m_flat.at(*m_selected);
            handleSearchItemClick(chosen);
            m_selected.reset();
        }
        return true;
    case Qt::Key_Escape:
        m_manager->setSearchText(QString());
        m_selected.reset();
        return true;
    default:
        return false;
    }
    if (m_results)
        m_results->setSelectedIndex(m_selected);
    return true;
}

void TopBarView::handleSearchItemClick(const SearchItem& item)
{
    m_manager->setSearchText(QString());
    NotificationCenter& center = NotificationCenter::defaultCenter();
    using K = SearchAction::Kind;
    switch (item.action.kind) {
    case K::navigateToMenu:
        center.post(QStringLiteral("NavigateToMenu"), item.action.text);
        break;
    case K::navigateToScheduleView:
        center.post(QStringLiteral("NavigateToScheduleView"), item.action.flag);
        break;
    case K::searchOrder:
        center.post(QStringLiteral("SearchOrderInSchedule"), item.action.text);
        break;
    case K::openSettings:
        StatsReporter::shared().report(QStringLiteral("open_settings"), QString());
        present(Sheet::settings);
        break;
    case K::openTutorial:
        present(Sheet::tutorial);
        break;
    case K::openChangelog:
        present(Sheet::changelog);
        break;
    case K::openPackageSettings:
        present(Sheet::packageSettings);
        break;
    case K::none:
        break;
    }
}

void TopBarView::present(Sheet sheet)
{
    if (m_sheet)
        return;
    QDialog* dialog = m_sheetFactory ? m_sheetFactory(sheet, window()) : nullptr;
    if (!dialog)
        return;
    m_sheet = dialog;
    dialog->open();
}
