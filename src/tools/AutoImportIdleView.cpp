#include "AutoImportIdleView.h"

#include "AutoImportController.h"
#include "FolderDropZone.h"
#include "ToolNotice.h"
#include "ui/ElidedLabel.h"
#include "tools/ToolsKeys.h"
#include "ui/ToggleSwitch.h"

#include "platform/UserDefaults.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/GoldButtonStyle.h"
#include "ui/Symbols.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemeObserver.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kMaxRowWidth = 620;
constexpr int kSideMargin = 40;

ThemedLabel::ColorFn primaryAt(qreal opacity)
{
    return [opacity] { return AppTheme::withOpacity(AppTheme::textPrimary(), opacity); };
}

// A row at most 620 wide (margins included), centred in the screen.
QWidget* row(QWidget* parent)
{
    auto* w = new QWidget(parent);
    w->setMaximumWidth(kMaxRowWidth);
    w->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return w;
}

// Centres `w` and lets it grow up to its maximum width.
void addCentred(QVBoxLayout* column, QWidget* w)
{
    auto* line = new QHBoxLayout;
    line->setContentsMargins(0, 0, 0, 0);
    line->addStretch(1);
    line->addWidget(w, 1000);
    line->addStretch(1);
    column->addLayout(line);
}

QString rgba(const QColor& c)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alphaF());
}

} // namespace

AutoImportIdleView::AutoImportIdleView(QWidget* parent)
    : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setSpacing(24);
    column->setContentsMargins(0, 85, 0, 0);
    addCentred(column, buildDestination());
    column->addStretch();
    addCentred(column, buildDropZone());
    column->addWidget(buildChooseCard(), 0, Qt::AlignHCenter);
    addCentred(column, buildDailyRow());
    column->addSpacerItem(new QSpacerItem(0, 36, QSizePolicy::Minimum, QSizePolicy::Maximum));

    connect(m_chooseRoot, &QPushButton::clicked, this, &AutoImportIdleView::chooseRootClicked);
    connect(m_chooseCard, &QPushButton::clicked, this, &AutoImportIdleView::chooseCardClicked);
    connect(m_dropZone, &FolderDropZone::urlsDropped, this, &AutoImportIdleView::urlsDropped);
    connect(m_daily, &QAbstractButton::toggled, this, [](bool on) {
        if (on != AutoImportController::dailyNewFolder())
            AutoImportController::setDailyNewFolder(on);
    });
    connect(&UserDefaults::standard(), &UserDefaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(ToolsKeys::autoImportRootPath.name)
            || key == QLatin1String(ToolsKeys::dailyNewFolder.name))
            refreshPreferences();
    });
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, &AutoImportIdleView::applyThemeStyles);
    applyThemeStyles();
    refreshPreferences();
}

QWidget* AutoImportIdleView::buildDestination()
{
    QWidget* destination = row(this);
    auto* dest = new QVBoxLayout(destination);
    dest->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    dest->setSpacing(7);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    titleRow->addWidget(
        new ThemedLabel(Symbols::glyph("folder"), Symbols::font(13), &AppTheme::accentOrange, destination));
    titleRow->addWidget(new ThemedLabel(QStringLiteral("选择照片存放位置"), Fonts::system(15, QFont::DemiBold),
                                        &AppTheme::accentOrange, destination));
    titleRow->addWidget(new ThemedLabel(QStringLiteral("不选择默认把储存卡的照片新建1个文件夹存到桌面上"),
                                        Fonts::system(12), primaryAt(0.45), destination),
                        1);
    dest->addLayout(titleRow);
    auto* choiceRow = new QHBoxLayout;
    choiceRow->setSpacing(10);
    m_chooseRoot = new QPushButton(QStringLiteral("选择保存位置"), destination);
    GoldButtonStyle::apply(m_chooseRoot, true);
    choiceRow->addWidget(m_chooseRoot);
    m_path = new ElidedLabel(Fonts::system(12), [] { return AppTheme::withOpacity(AppTheme::textGold(), 0.9); },
                             destination);
    choiceRow->addWidget(m_path, 1);
    dest->addLayout(choiceRow);
    return destination;
}

QWidget* AutoImportIdleView::buildDropZone()
{
    QWidget* zoneRow = row(this);
    zoneRow->setMaximumWidth(FolderDropZone::kMaxWidth + 2 * kSideMargin);
    auto* zoneLayout = new QHBoxLayout(zoneRow);
    zoneLayout->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    m_dropZone = new FolderDropZone(zoneRow);
    m_dropZone->setFixedHeight(240);
    m_dropZone->setMaximumWidth(FolderDropZone::kMaxWidth);
    m_dropZone->addPrompt("tray.and.arrow.down", QStringLiteral("选择/拖拽相机存储卡进行自动导片"));
    zoneLayout->addWidget(ToolNotice::under(m_dropZone, &m_notice, zoneRow));
    return zoneRow;
}

// Symbol and text on a gold plate, at its natural size.
QWidget* AutoImportIdleView::buildChooseCard()
{
    m_chooseCard = new QPushButton(this);
    m_chooseCard->setCursor(Qt::PointingHandCursor);
    m_chooseCard->setAccessibleName(QStringLiteral("选择存储卡"));
    auto* cardLabel = new QHBoxLayout(m_chooseCard);
    cardLabel->setContentsMargins(24, 10, 24, 10);
    cardLabel->setSpacing(8);
    auto* cardIcon = new ThemedLabel(Symbols::glyph("folder"), Symbols::font(14), &AppTheme::onGoldText, m_chooseCard);
    auto* cardText = new ThemedLabel(QStringLiteral("选择存储卡"), Fonts::system(14, QFont::Medium),
                                     &AppTheme::onGoldText, m_chooseCard);
    for (QWidget* w : {static_cast<QWidget*>(cardIcon), static_cast<QWidget*>(cardText)}) {
        w->setAttribute(Qt::WA_TransparentForMouseEvents);
        cardLabel->addWidget(w, 0, Qt::AlignVCenter);
    }
    m_chooseCard->setFixedSize(cardLabel->sizeHint());
    return m_chooseCard;
}

QWidget* AutoImportIdleView::buildDailyRow()
{
    QWidget* daily = row(this);
    auto* dailyRow = new QHBoxLayout(daily);
    dailyRow->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    dailyRow->setSpacing(12);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(new ThemedLabel(QStringLiteral("当日每次导片自动新建文件夹"), Fonts::system(14),
                                     &AppTheme::textGold, daily));
    auto* detail = new ThemedLabel(
        QStringLiteral("开启后统一以当天日期命名，多次导片自动区分，次日自动按照当天的日期命名新文件夹"),
        Fonts::system(11), primaryAt(0.5), daily);
    detail->setWordWrap(true);
    texts->addWidget(detail);
    dailyRow->addLayout(texts, 1);
    m_daily = new ToggleSwitch(daily, true);
    m_daily->setAccessibleName(QStringLiteral("当日每次导片自动新建文件夹"));
    dailyRow->addWidget(m_daily, 0, Qt::AlignVCenter);
    return daily;
}

void AutoImportIdleView::refreshPreferences()
{
    m_path->setText(AutoImportController::importRootDisplayPath());
    const bool on = AutoImportController::dailyNewFolder();
    if (m_daily->isChecked() != on) {
        QSignalBlocker block(m_daily);
        m_daily->setChecked(on);
        m_daily->update();
    }
}

void AutoImportIdleView::applyThemeStyles()
{
    m_chooseCard->setStyleSheet(QStringLiteral("QPushButton { background: %1; border: none; border-radius: 8px; }"
                                               "QPushButton:pressed { background: %2; }")
                                    .arg(rgba(AppTheme::gold()), rgba(AppTheme::withOpacity(AppTheme::gold(), 0.8))));
}
