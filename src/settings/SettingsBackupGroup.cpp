// The backup group of the settings page: notes, the automatic backup switch,
// the content choice, manual export and import, and the message line.
#include "SettingsView.h"

#include "orderbook/BackupManager.h"
#include "orderbook/OrderManager.h"
#include "orderbook/OrderbookKeys.h"
#include "platform/Log.h"
#include "settings/EasedLevel.h"
#include "settings/SettingsRows.h"
#include "ui/AppTheme.h"
#include "ui/Fader.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/RevealBox.h"
#include "ui/RoundedPanel.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString kFilter = QStringLiteral("Kelvara 备份 (*.kvbak)");

// The collapsible header of the content choice.
class ChoiceHeader : public QAbstractButton
{
public:
    explicit ChoiceHeader(QWidget* parent)
        : QAbstractButton(parent)
    {
        setObjectName(QStringLiteral("backupChoiceHeader"));
        setCheckable(true);
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, qOverload<>(&QWidget::update));
        connect(this, &QAbstractButton::toggled, m_turn, &EasedLevel::setOn);
    }
    QSize sizeHint() const override { return QSize(200, QFontMetrics(Fonts::system(14)).height() + 32); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath plate;
        plate.addRoundedRect(QRectF(rect()), 10, 10);
        p.fillPath(plate, AppTheme::cardBackground());
        const QRect inner = rect().adjusted(16, 16, -16, -16);
        p.setFont(Symbols::font(14));
        p.setPen(AppTheme::gold());
        const QString icon = Symbols::glyph(QStringLiteral("checklist"));
        const int iconWidth = QFontMetrics(p.font()).horizontalAdvance(icon);
        p.drawText(QRect(inner.left(), inner.top(), iconWidth, inner.height()), Qt::AlignVCenter, icon);
        p.setFont(Fonts::system(14, QFont::Medium));
        p.setPen(AppTheme::textGold());
        p.drawText(QRect(inner.left() + iconWidth + 8, inner.top(), inner.width(), inner.height()), Qt::AlignVCenter,
                   QStringLiteral("备份内容选择"));
        p.setFont(Symbols::font(12));
        p.setPen(AppTheme::isDark() ? QColor(255, 255, 255, 217) : AppTheme::withOpacity(AppTheme::textPrimary(), 0.4));
        // The chevron turns from right to down with the panel.
        const QString chevron = Symbols::glyph(QStringLiteral("chevron.right"));
        const QFontMetrics fm(p.font());
        const QPointF centre(inner.right() - fm.horizontalAdvance(chevron) / 2.0, inner.center().y() + 0.5);
        p.translate(centre);
        p.rotate(90 * m_turn->value());
        p.drawText(QRectF(-fm.height(), -fm.height(), 2 * fm.height(), 2 * fm.height()), Qt::AlignCenter, chevron);
    }

private:
    EasedLevel* m_turn = new EasedLevel(this, Fader::kDefaultMs);
};

QWidget* cardTitle(const QString& title, const QString& badge, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(new ThemedLabel(title, Fonts::system(12, QFont::Medium), &AppTheme::textGold, row));
    layout->addWidget(SettingsRows::note(badge, 10, 0.4, row));
    layout->addStretch(1);
    return row;
}

// The dialogs carry no separate message line, so their titles say what to pick.
void openDialog(QFileDialog* dialog, std::function<void(QString)> done)
{
    dialog->setObjectName(QStringLiteral("backupFileDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, done](int result) {
        done(result == QDialog::Accepted && !dialog->selectedFiles().isEmpty() ? dialog->selectedFiles().first() : QString());
    });
    dialog->open();
}

void defaultSave(QWidget* parent, const QString& suggestedName, std::function<void(QString)> done)
{
    auto* dialog = new QFileDialog(parent, QStringLiteral("选择备份文件保存位置"),
                                   QDir::homePath() + QLatin1Char('/') + suggestedName, kFilter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("kvbak"));
    openDialog(dialog, std::move(done));
}

void defaultOpen(QWidget* parent, std::function<void(QString)> done)
{
    auto* dialog = new QFileDialog(parent, QStringLiteral("选择要导入的备份文件"), QDir::homePath(), kFilter);
    dialog->setFileMode(QFileDialog::ExistingFile);
    openDialog(dialog, std::move(done));
}
}

QString SettingsView::suggestedBackupName(const QDateTime& now)
{
    return QStringLiteral("Kelvara备份_") + now.toString(QStringLiteral("yyyyMMdd_HHmmss")) + QStringLiteral(".kvbak");
}

QList<bool> SettingsView::backupChoices() const { return {m_choices[0], m_choices[1], m_choices[2], m_choices[3]}; }

QWidget* SettingsView::backupGroup()
{
    if (!m_chooser.save)
        m_chooser = FileChooser{&defaultSave, &defaultOpen};
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);

    auto* notes = new QVBoxLayout;
    notes->setSpacing(4);
    notes->addWidget(SettingsRows::note(QStringLiteral("软件程序与用户数据相互独立，普通崩溃、重装App不会丢失数据。"), 11, 0.5, content));
    notes->addWidget(SettingsRows::note(QStringLiteral("断电、磁盘故障、误删数据目录存在数据丢失风险，请做好备份。"), 11, 0.5, content));
    column->addLayout(notes);

    column->addWidget(SettingsRows::preferenceSwitch(
        OrderbookKeys::autoBackupEnabled, QStringLiteral("自动静默备份"),
        QStringLiteral("软件正常退出时静默备份本机数据，保留最近3-5个版本，仅用于本机恢复，不可跨设备迁移。"), content));

    auto* header = new ChoiceHeader(content);
    auto* panel = new RevealBox(backupChoicePanel(content), Fader::kDefaultMs, false, content);
    connect(header, &QAbstractButton::toggled, panel, [panel](bool on) { panel->setShown(on, true); });
    column->addWidget(header);
    column->addWidget(panel);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    PlateButton::Look exportLook;
    exportLook.font = Fonts::system(13, QFont::Medium);
    exportLook.symbol = QStringLiteral("square.and.arrow.up");
    exportLook.spacing = 6;
    exportLook.padding = QMargins(8, 8, 8, 8);
    exportLook.fill = &AppTheme::gold;
    exportLook.text = &AppTheme::background;
    auto* exportButton = new PlateButton(QStringLiteral("导出备份"), exportLook, content);
    exportButton->setObjectName(QStringLiteral("exportBackupButton"));
    PlateButton::Look importLook = exportLook;
    importLook.symbol = QStringLiteral("square.and.arrow.down");
    importLook.fill = &AppTheme::searchBackground;
    importLook.text = [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.85); };
    importLook.outline = [] { return AppTheme::withOpacity(AppTheme::gold(), 0.3); };
    auto* importButton = new PlateButton(QStringLiteral("导入备份"), importLook, content);
    importButton->setObjectName(QStringLiteral("importBackupButton"));
    for (PlateButton* b : {exportButton, importButton}) {
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        buttons->addWidget(b);
    }
    connect(exportButton, &QAbstractButton::clicked, this, &SettingsView::exportBackup);
    connect(importButton, &QAbstractButton::clicked, this, &SettingsView::importBackup);
    column->addLayout(buttons);

    auto* manual = new QVBoxLayout;
    manual->setSpacing(2);
    manual->addWidget(SettingsRows::note(
        QStringLiteral("手动导出备份：可选择备份内容，打包全部订单、客户与配置，可保存到U盘/云盘，支持在其他电脑上导入迁移全部数据。"),
        11, 0.5, content));
    for (const QString& warning : {QStringLiteral("⚠️版本建议：低版本备份包可导入新版软件；旧版软件无法正常读取新版备份文件。"),
                                   QStringLiteral("⚠️日历提示：新设备导入备份后，需要重新授予日历权限，档期日历才能正常恢复。")}) {
        auto* line = new ThemedLabel(warning, Fonts::system(11), [] { return AppTheme::withOpacity(SystemColors::yellow(), 0.7); },
                                     content);
        line->setWordWrap(true);
        manual->addWidget(line);
    }
    column->addLayout(manual);

    m_messageLabel = new ThemedLabel(QString(), Fonts::system(12), &AppTheme::textGold, content);
    m_messageLabel->setObjectName(QStringLiteral("backupMessage"));
    m_messageLabel->setWordWrap(true);
    m_messageLabel->setContentsMargins(0, 4, 0, 0);
    column->addWidget(m_messageLabel);
    refreshMessage();
    return content;
}

QWidget* SettingsView::backupChoicePanel(QWidget* parent)
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(QStringLiteral("backupChoicePanel"));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 8, 0, 0);
    column->setSpacing(12);

    auto* core = new RoundedPanel(&AppTheme::topBarBackground, 8, panel,
                                  [] { return AppTheme::withOpacity(AppTheme::gold(), 0.2); });
    auto* coreColumn = new QVBoxLayout(core);
    coreColumn->setContentsMargins(16, 10, 16, 10);
    coreColumn->setSpacing(6);
    coreColumn->addWidget(cardTitle(QStringLiteral("核心业务数据"), QStringLiteral("· 必选"), core));
    coreColumn->addWidget(SettingsRows::note(
        QStringLiteral("订单记录、客户信息、套系配置、价格定金、排序规则、全局开关、统计口径偏好、提醒设置、日历同步标记"), 11, 0.5, core));
    column->addWidget(core);

    auto* optional = new RoundedPanel(&AppTheme::topBarBackground, 8, panel);
    auto* optionalColumn = new QVBoxLayout(optional);
    optionalColumn->setContentsMargins(16, 10, 16, 10);
    optionalColumn->setSpacing(8);
    optionalColumn->addWidget(cardTitle(QStringLiteral("个性化配置"), QStringLiteral("· 可选"), optional));
    const QStringList labels{"界面视图偏好", "自定义统计模板", "订单回收站记录", "打印/导出模板"};
    for (int i = 0; i < labels.size(); ++i) {
        QWidget* row = SettingsRows::switchRow(
            labels[i], QString(), [this, i] { return m_choices[i]; }, [this, i](bool on) { m_choices[i] = on; }, optional,
            QStringLiteral("backupChoice%1").arg(i), true);
        optionalColumn->addWidget(row);
    }
    column->addWidget(optional);
    return panel;
}

void SettingsView::exportBackup()
{
    QPointer<SettingsView> self(this);
    m_chooser.save(window(), suggestedBackupName(QDateTime::currentDateTime()), [self](const QString& path) {
        if (!self)
            return;
        if (path.isEmpty()) {
            Log::line(QStringLiteral("💾 用户取消了导出备份"));
            return;
        }
        Log::line(QStringLiteral("💾 开始导出备份到: ") + path);
        QString error;
        const bool ok = BackupManager::shared().exportBackup(path, self->m_choices[0], self->m_choices[1],
                                                             self->m_choices[2], self->m_choices[3], &error);
        QMetaObject::invokeMethod(self, [self, path, ok, error] {
            if (!self)
                return;
            const QFileInfo file(path);
            if (!ok) {
                self->showBackupMessage(QStringLiteral("❌ 导出失败：") + error);
                Log::line(QStringLiteral("💾 备份导出失败"));
            } else if (!file.exists()) {
                self->showBackupMessage(QStringLiteral("❌ 导出失败：文件未生成，请检查磁盘空间或系统权限"));
                Log::line(QStringLiteral("💾 错误：备份文件未生成"));
            } else {
                const QString size = QString::number(file.size());
                self->showBackupMessage(QStringLiteral("✅ 备份导出成功！\n文件：") + file.fileName()
                                        + QStringLiteral("\n大小：") + size + QStringLiteral(" 字节"));
                Log::line(QStringLiteral("💾 备份文件已生成: ") + path + QStringLiteral(", 大小: ") + size
                          + QStringLiteral(" 字节"));
            }
        }, Qt::QueuedConnection);
    });
}

void SettingsView::importBackup()
{
    QPointer<SettingsView> self(this);
    m_chooser.open(window(), [self](const QString& path) {
        if (!self)
            return;
        if (path.isEmpty()) {
            Log::line(QStringLiteral("💾 用户取消了导入备份"));
            return;
        }
        Log::line(QStringLiteral("💾 开始导入备份: ") + path);
        if (!QFileInfo::exists(path)) {
            QMetaObject::invokeMethod(self, [self] {
                if (self)
                    self->showBackupMessage(QStringLiteral("❌ 导入失败：文件不存在"));
            }, Qt::QueuedConnection);
            return;
        }
        const BackupManager::Contents contents = BackupManager::shared().readBackup(path);
        if (!contents.error.isEmpty()) {
            self->importFailed(contents.error);
            return;
        }
        self->confirmImport(path, contents.orderCount());
    });
}

void SettingsView::confirmImport(const QString& path, int ordersInFile)
{
    const int ordersNow = int(OrderManager::shared().orders().size());
    auto* ask = new QMessageBox(QMessageBox::Question, QStringLiteral("导入备份"),
                                QStringLiteral("备份文件中有 %1 个订单，当前有 %2 个订单。\n导入后当前数据将被备份文件的内容替换，"
                                               "导入前会先自动备份当前数据。确定导入吗？")
                                    .arg(ordersInFile)
                                    .arg(ordersNow),
                                QMessageBox::NoButton, window());
    ask->setObjectName(QStringLiteral("importBackupQuestion"));
    ask->setTextFormat(Qt::PlainText);
    ask->setWindowModality(Qt::WindowModal);
    ask->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* yes = ask->addButton(QStringLiteral("导入"), QMessageBox::AcceptRole);
    ask->setDefaultButton(ask->addButton(QStringLiteral("取消"), QMessageBox::RejectRole));
    QPointer<SettingsView> self(this);
    connect(ask, &QMessageBox::buttonClicked, this, [self, yes, path](QAbstractButton* clicked) {
        if (!self)
            return;
        if (clicked != yes) {
            Log::line(QStringLiteral("💾 用户取消了导入备份"));
            return;
        }
        const auto result = BackupManager::shared().importBackup(path);
        if (!result.success) {
            self->importFailed(result.message);
            return;
        }
        QMetaObject::invokeMethod(self, [self, result] {
            if (!self)
                return;
            self->showBackupMessage(QStringLiteral("✅ 导入完成，请重启软件生效\n") + result.message);
            Log::line(QStringLiteral("💾 备份导入成功"));
        }, Qt::QueuedConnection);
    });
    ask->open();
}

void SettingsView::importFailed(const QString& cause)
{
    QPointer<SettingsView> self(this);
    QMetaObject::invokeMethod(this, [self, cause] {
        if (!self)
            return;
        self->showBackupMessage(QStringLiteral("❌ 导入失败：") + cause);
        Log::line(QStringLiteral("💾 备份导入失败: ") + cause);
    }, Qt::QueuedConnection);
}

void SettingsView::showBackupMessage(const QString& message)
{
    m_message = message;
    m_messageShown = true;
    refreshMessage();
    revealMessage();
    // Each message schedules its own hide; a later one does not postpone it.
    QTimer::singleShot(m_hideMs, this, [this] {
        m_messageShown = false;
        refreshMessage();
    });
}

void SettingsView::revealMessage()
{
    if (!m_scroll || !m_messageLabel || m_messageLabel->isHidden())
        return;
    // The line has just appeared: its place is known once the layouts ran.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    m_scroll->ensureWidgetVisible(m_messageLabel, 0, 12);
}

void SettingsView::refreshMessage()
{
    if (!m_messageLabel)
        return;
    m_messageLabel->setText(m_message);
    m_messageLabel->setVisible(m_messageShown && !m_message.isEmpty());
}
