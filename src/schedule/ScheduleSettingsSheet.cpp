#include "ScheduleSettingsSheet.h"

#include "PackageListEditor.h"
#include "ReminderRulesEditor.h"
#include "SettingsSheetParts.h"
#include "schedule/ScheduleSettingsState.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/Fader.h"
#include "ui/PlateButton.h"
#include "ui/RevealBox.h"
#include "ui/RoundedPanel.h"
#include "ui/LightScrollBar.h"
#include "ui/SettingsCard.h"
#include "ui/SheetHeader.h"
#include "ui/SheetPlacement.h"
#include "ui/Symbols.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedPanel.h"
#include "ui/ToggleSwitch.h"
#include "ui/WorkspaceUrl.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>

using namespace SettingsSheetParts;

namespace {

QColor stepperColor()
{
    return AppTheme::isDark() ? QColor(Qt::white) : AppTheme::gold();
}

PlateButton* stepButton(const QString& symbol, QWidget* parent)
{
    PlateButton::Look look;
    look.text = &stepperColor;
    look.outline = [] { return AppTheme::withOpacity(stepperColor(), 0.4); };
    look.symbol = symbol;
    look.symbolSize = 11;
    look.padding = QMargins(6, 2, 6, 2);
    look.radius = 5;
    return new PlateButton(QString(), look, parent);
}

PlateButton* settingsShortcut(const char* address, QWidget* parent)
{
    PlateButton::Look look;
    look.text = [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); };
    look.font = Fonts::system(10);
    look.padding = QMargins(0, 2, 0, 0);
    auto* button = new PlateButton(QStringLiteral("系统权限已关闭，点击前往设置开启"), look, parent);
    QObject::connect(button, &QAbstractButton::clicked, button, [address] { openURLInWorkspace(QLatin1String(address)); });
    return button;
}

QString chevronGlyph(bool open)
{
    return Symbols::glyph(open ? QStringLiteral("chevron.down") : QStringLiteral("chevron.right"));
}

}

ScheduleSettingsSheet::ScheduleSettingsSheet(ScheduleSettingsState& state, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
{
    setObjectName(QStringLiteral("scheduleSettingsSheet"));
    setWindowTitle(QStringLiteral("档期收入设置"));
    setWindowModality(Qt::WindowModal);
    resize(kPreferredSize);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    auto* backdrop = new ThemedPanel(&AppTheme::background, this);
    root->addWidget(backdrop);
    auto* backdropLayout = new QVBoxLayout(backdrop);
    backdropLayout->setContentsMargins(0, 0, 0, 0);

    m_scroll = new QScrollArea(backdrop);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    backdropLayout->addWidget(m_scroll);
    auto* content = new QWidget;
    content->setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(16);
    column->addWidget(new LightScrollBar(content));

    const SheetHeader header = makeSheetHeader(QStringLiteral("档期收入设置"), [this] { accept(); }, content);
    auto* headerRow = new QHBoxLayout;
    headerRow->setContentsMargins(0, 4, 0, 8);
    header.addTo(headerRow);
    column->addLayout(headerRow);

    m_packageEntry = new CardButton(content);
    m_packageEntry->setObjectName(QStringLiteral("packageEntry"));
    m_packageEntry->addToRow(symbol(QStringLiteral("square.grid.2x2"), 14, &AppTheme::gold));
    m_packageEntry->addToRow(new ThemedLabel(QStringLiteral("套系设定"), Fonts::system(14, QFont::Medium), &AppTheme::textGold));
    m_packageEntry->addStretch();
    m_packageChevron = symbol(QStringLiteral("chevron.right"), 12, &chevronColor);
    m_packageEntry->addToRow(m_packageChevron);
    connect(m_packageEntry, &QAbstractButton::clicked, this, [this] { toggleSection(m_state.showPackageSettings); });
    column->addWidget(m_packageEntry);
    m_packagesBox = sectionBox(new PackageListEditor(m_state), column);

    column->addWidget(buildDailyLimitCard());
    column->addWidget(buildSwitchCard(QStringLiteral("calendar.circle"), QStringLiteral("每周从周一开始"), false,
                                      QStringLiteral("关闭后日历第一列显示周日"), &m_weekStart, nullptr));
    column->addWidget(buildSwitchCard(QStringLiteral("calendar.badge.plus"), QStringLiteral("启用手机日历同步"), true,
                                      QStringLiteral("关闭后停止所有日历读写操作，隐藏顶部状态条"), &m_calendarSync,
                                      nullptr));
    column->addWidget(buildSwitchCard(QStringLiteral("arrow.triangle.2.circlepath"),
                                      QStringLiteral("新建订单同步到系统日历"), true,
                                      QStringLiteral("开启后新建订单默认同步到日历，可在单个订单中单独调整"),
                                      &m_defaultSync, &m_calendarShortcut));
    m_weekStart->setObjectName(QStringLiteral("weekStartSwitch"));
    m_calendarSync->setObjectName(QStringLiteral("calendarSyncSwitch"));
    m_defaultSync->setObjectName(QStringLiteral("defaultSyncSwitch"));
    connect(m_weekStart, &QAbstractButton::clicked, this, [this](bool on) { m_state.setWeekStartsOnMonday(on); });
    connect(m_calendarSync, &QAbstractButton::clicked, this, [this](bool on) { m_state.setCalendarSyncEnabled(on); });
    connect(m_defaultSync, &QAbstractButton::clicked, this, [this](bool on) { m_state.setSyncCalendarDefault(on); });

    m_syncInfoEntry = buildDisclosure(QStringLiteral("info.circle"), QStringLiteral("日历同步说明"), &m_syncInfoChevron);
    m_syncInfoEntry->setObjectName(QStringLiteral("syncInfoEntry"));
    connect(m_syncInfoEntry, &QAbstractButton::clicked, this, [this] { toggleSection(m_state.showCalendarSyncInfo); });
    column->addWidget(m_syncInfoEntry);
    m_syncInfoBox = sectionBox(buildSyncInfoPanel(), column);

    m_rulesEntry = buildDisclosure(QStringLiteral("bell"), QStringLiteral("手机日历自定义提醒规则"), &m_rulesChevron,
                                   &m_rulesCount);
    m_rulesEntry->setObjectName(QStringLiteral("reminderRulesEntry"));
    connect(m_rulesEntry, &QAbstractButton::clicked, this, [this] {
        if (!m_state.showCustomReminderRules)
            m_state.loadRules();
        toggleSection(m_state.showCustomReminderRules);
    });
    column->addWidget(m_rulesEntry);
    m_rulesBox = sectionBox(new ReminderRulesEditor(m_state), column);

    m_notificationCard = buildSwitchCard(QStringLiteral("laptopcomputer"), QStringLiteral("软件本地通知提醒"), true,
                                         QStringLiteral("软件完全退出后仍可准时推送拍摄提醒"), &m_notification,
                                         &m_notificationShortcut);
    m_notificationCard->setObjectName(QStringLiteral("notificationCard"));
    m_notification->setObjectName(QStringLiteral("notificationSwitch"));
    connect(m_notification, &QAbstractButton::clicked, this, [this](bool on) { m_state.setLocalNotificationEnabled(on); });
    column->addWidget(m_notificationCard);

    m_batch = borderedFieldContainer(QStringLiteral("arrow.triangle.2.circlepath"), QStringLiteral("批量同步历史订单"),
                                     content);
    m_batch->setObjectName(QStringLiteral("batchSyncButton"));
    connect(m_batch, &QAbstractButton::clicked, this, &ScheduleSettingsSheet::confirmBatchSync);
    column->addWidget(m_batch);
    column->addStretch(1);
    m_scroll->setWidget(content);

    connect(&m_state, &ScheduleSettingsState::changed, this, &ScheduleSettingsSheet::refresh);
    connect(&m_state, &ScheduleSettingsState::batchFinished, this, [this](int count) {
        auto* box = new QMessageBox(QMessageBox::Information, QString(), m_state.batchResultTitle(),
                                    QMessageBox::NoButton, this);
        box->setObjectName(QStringLiteral("batchResultBox"));
        box->setInformativeText(m_state.batchResultText(count));
        box->addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        box->setWindowModality(Qt::ApplicationModal);
        showMessage(box, {});
    });
    refresh();
}

QWidget* ScheduleSettingsSheet::buildDailyLimitCard()
{
    auto* card = new RoundedPanel(&AppTheme::cardBackground, 10);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(4);
    column->addWidget(rowTitle(QStringLiteral("calendar"), QStringLiteral("每日最大接单量"), &AppTheme::textGold));
    auto* stepper = new QHBoxLayout;
    stepper->setContentsMargins(22, 0, 0, 0);
    stepper->setSpacing(8);
    m_dailyLimit = new ThemedLabel(QString(), Fonts::system(13), &AppTheme::textPrimary, card);
    m_dailyLimit->setObjectName(QStringLiteral("dailyLimitLabel"));
    auto* down = stepButton(QStringLiteral("minus"), card);
    down->setObjectName(QStringLiteral("dailyLimitDown"));
    auto* up = stepButton(QStringLiteral("plus"), card);
    up->setObjectName(QStringLiteral("dailyLimitUp"));
    connect(down, &QAbstractButton::clicked, this, [this] { m_state.stepDailyLimit(-1); });
    connect(up, &QAbstractButton::clicked, this, [this] { m_state.stepDailyLimit(1); });
    stepper->addWidget(m_dailyLimit);
    stepper->addWidget(down);
    stepper->addWidget(up);
    stepper->addStretch(1);
    column->addLayout(stepper);
    auto* hint = subtitle(QStringLiteral("达到上限后日期自动置灰，无法再新建订单"), card);
    hint->setContentsMargins(22, 0, 0, 0);
    column->addWidget(hint);
    return card;
}

QWidget* ScheduleSettingsSheet::buildSwitchCard(const QString& symbolName, const QString& title, bool goldTitle,
                                                const QString& text, ToggleSwitch** toggle, PlateButton** shortcut)
{
    RoundedPanel* card = settingsCard();
    QHBoxLayout* row = settingsCardRow(card);
    row->setSpacing(12);
    auto* left = new QVBoxLayout;
    left->setSpacing(2);
    QWidget* titleRow = rowTitle(symbolName, title, goldTitle ? &AppTheme::textGold : &AppTheme::textPrimary, false, card);
    if (symbolName == QLatin1String("laptopcomputer")) {
        // A small bell over the laptop's top trailing corner.
        QWidget* laptop = titleRow->layout()->itemAt(0)->widget();
        laptop->setFixedSize(18, 16);
        ThemedLabel* bell = symbol(QStringLiteral("bell.fill"), 10, &AppTheme::gold, laptop);
        bell->setGeometry(9, -3, 12, 12);
    }
    left->addWidget(titleRow);
    left->addWidget(subtitle(text, card));
    if (shortcut) {
        *shortcut = settingsShortcut(symbolName == QLatin1String("laptopcomputer") ? WorkspaceUrl::notifications
                                                                                   : WorkspaceUrl::calendarPrivacy,
                                     card);
        (*shortcut)->setObjectName(symbolName == QLatin1String("laptopcomputer")
                                       ? QStringLiteral("notificationSettingsShortcut")
                                       : QStringLiteral("calendarSettingsShortcut"));
        left->addWidget(*shortcut, 0, Qt::AlignLeft);
    }
    row->addLayout(left, 1);
    *toggle = new ToggleSwitch(card);
    row->addWidget(*toggle, 0, Qt::AlignVCenter);
    return card;
}

CardButton* ScheduleSettingsSheet::buildDisclosure(const QString& symbolName, const QString& title,
                                                   ThemedLabel** chevron, ThemedLabel** count)
{
    auto* entry = new CardButton;
    entry->addToRow(rowTitle(symbolName, title, &AppTheme::textGold, true));
    entry->addStretch();
    if (count) {
        *count = new ThemedLabel(QString(), Fonts::system(11),
                                 [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.6); });
        (*count)->setObjectName(QStringLiteral("reminderRuleCount"));
        entry->addToRow(*count);
    }
    *chevron = symbol(QStringLiteral("chevron.right"), 12, &chevronColor);
    entry->addToRow(*chevron);
    return entry;
}

QWidget* ScheduleSettingsSheet::buildSyncInfoPanel()
{
    auto* panel = new RoundedPanel(&AppTheme::topBarBackground, 10);
    panel->setObjectName(QStringLiteral("syncInfoPanel"));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(6);
    for (const QString& line : m_state.syncInfoLines()) {
        auto* label = new ThemedLabel(line, Fonts::system(10),
                                      [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.8); }, panel);
        label->setWordWrap(true);
        label->setObjectName(QStringLiteral("syncInfoLine"));
        column->addWidget(label);
        m_syncInfoLines.append(label);
    }
    return panel;
}

RevealBox* ScheduleSettingsSheet::sectionBox(QWidget* section, QVBoxLayout* column)
{
    auto* box = new RevealBox(section, Fader::kDefaultMs, false, column->parentWidget());
    column->addWidget(box);
    return box;
}

void ScheduleSettingsSheet::toggleSection(bool& flag)
{
    m_animateSections = true;
    m_state.toggle(flag);
    m_animateSections = false;
}

void ScheduleSettingsSheet::setVisible(bool visible)
{
    // Placed before the first show: the dialog's own centring would put a
    // sheet taller than the room left above the top of the screen.
    if (visible && !isVisible() && !testAttribute(Qt::WA_Moved))
        SheetPlacement::fit(this, kPreferredSize);
    QDialog::setVisible(visible);
}

void ScheduleSettingsSheet::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_state.sheetShown();
    m_state.loadRules();
}

void ScheduleSettingsSheet::refresh()
{
    m_packageChevron->setText(chevronGlyph(m_state.showPackageSettings));
    m_packagesBox->setShown(m_state.showPackageSettings, m_animateSections);
    m_dailyLimit->setText(m_state.dailyLimitText());
    for (auto [toggle, on] : {std::pair{m_weekStart, m_state.weekStartsOnMonday()},
                              std::pair{m_calendarSync, m_state.calendarSyncEnabled()},
                              std::pair{m_defaultSync, m_state.syncCalendarDefault()},
                              std::pair{m_notification, m_state.localNotificationEnabled()}}) {
        const QSignalBlocker block(toggle);
        toggle->setChecked(on);
    }
    m_calendarShortcut->setVisible(m_state.calendarPermissionDenied);
    m_notificationShortcut->setVisible(m_state.notificationPermissionDenied);

    // Everything that only matters while new orders sync waits for that switch.
    const bool syncing = m_state.syncCalendarDefault();
    for (QWidget* w : {static_cast<QWidget*>(m_syncInfoEntry), static_cast<QWidget*>(m_rulesEntry), m_notificationCard,
                       static_cast<QWidget*>(m_batch)})
        setDimmed(w, !syncing);
    if (m_state.batchRunning())
        m_batch->setEnabled(false);
    m_syncInfoChevron->setText(chevronGlyph(m_state.showCalendarSyncInfo));
    m_rulesChevron->setText(chevronGlyph(m_state.showCustomReminderRules));
    // Only the disclosures animate; the sync switch takes its sections at once.
    m_syncInfoBox->setShown(syncing && m_state.showCalendarSyncInfo, m_animateSections);
    m_rulesBox->setShown(syncing && m_state.showCustomReminderRules, m_animateSections);
    m_rulesCount->setText(m_state.ruleCountText());
    const QStringList infoLines = m_state.syncInfoLines();
    for (qsizetype i = 0; i < m_syncInfoLines.size() && i < infoLines.size(); ++i)
        m_syncInfoLines[i]->setText(infoLines[i]);

    if (m_message)
        return;
    if (m_state.showPermissionAlert) {
        auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("权限提示"), m_state.permissionAlertMessage,
                                    QMessageBox::NoButton, this);
        box->setObjectName(QStringLiteral("permissionAlert"));
        box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        QPushButton* go = box->addButton(QStringLiteral("前往设置"), QMessageBox::AcceptRole);
        box->setDefaultButton(go);
        showMessage(box, [this, box, go](int) {
            if (box->clickedButton() == go) {
                m_state.openAlertSettings();
            } else {
                m_state.showPermissionAlert = false;
                refresh();
            }
        });
    } else if (m_state.showMaxReminderAlert) {
        auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("提示"), QStringLiteral("最多支持 6 条提醒规则。"),
                                    QMessageBox::NoButton, this);
        box->setObjectName(QStringLiteral("maxReminderAlert"));
        box->addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        showMessage(box, [this](int) {
            m_state.showMaxReminderAlert = false;
            refresh();
        });
    }
}

void ScheduleSettingsSheet::showMessage(QMessageBox* box, std::function<void(int)> done)
{
    m_message = box;
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    // The second line may carry the calendar service's own words: plain text too.
    if (auto* info = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        info->setTextFormat(Qt::PlainText);
    connect(box, &QDialog::finished, this, [this, done = std::move(done)](int result) {
        m_message = nullptr;
        if (done)
            done(result);
    });
    box->open();
}

void ScheduleSettingsSheet::confirmBatchSync()
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("批量同步历史订单"),
                                QStringLiteral("将全部有效订单按当前提醒规则写入系统日历，确认执行？"),
                                QMessageBox::NoButton, this);
    box->setObjectName(QStringLiteral("batchSyncConfirm"));
    box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    QPushButton* run = box->addButton(QStringLiteral("确认同步"), QMessageBox::AcceptRole);
    box->setDefaultButton(run);
    showMessage(box, [this, box, run](int) {
        if (box->clickedButton() == run)
            m_state.runBatchSync();
    });
}
