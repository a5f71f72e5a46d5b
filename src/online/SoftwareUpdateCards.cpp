#include "SoftwareUpdateCards.h"

#include "online/OnlineConfig.h"
#include "online/RemoteFetch.h"
#include "online/SoftwareUpdatePrefs.h"
#include "online/TextAreaStyle.h"
#include "online/VersionFile.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedPanel.h"
#include "ui/ToggleSwitch.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {
// A whole-row button whose look is its child labels.
class RowButton : public QAbstractButton
{
public:
    using QAbstractButton::QAbstractButton;

protected:
    void paintEvent(QPaintEvent*) override {}
};

void passClicksThrough(QWidget* w) { w->setAttribute(Qt::WA_TransparentForMouseEvents); }
}

ChangelogCardContent::ChangelogCardContent(QWidget* parent)
    : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* row = new RowButton(this);
    row->setObjectName(QStringLiteral("changelogToggle"));
    row->setCursor(Qt::PointingHandCursor);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    m_rowLabel = new ThemedLabel(QString(), Fonts::system(13),
                                 [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.9); }, row);
    m_chevron = new ThemedLabel(QString(), Symbols::font(12), [] {
        return AppTheme::isDark() ? QColor(255, 255, 255, 230) : AppTheme::withOpacity(AppTheme::textPrimary(), 0.5);
    }, row);
    passClicksThrough(m_rowLabel);
    passClicksThrough(m_chevron);
    rowLayout->addWidget(m_rowLabel);
    rowLayout->addStretch(1);
    rowLayout->addWidget(m_chevron);
    column->addWidget(row);
    connect(row, &QAbstractButton::clicked, this, &ChangelogCardContent::toggle);

    m_divider = new QWidget(this);
    auto* dividerLayout = new QVBoxLayout(m_divider);
    dividerLayout->setContentsMargins(0, 8 + 12, 0, 8 + 12);
    auto* line = new ThemedPanel([] { return QColor(255, 255, 255, 26); }, m_divider);
    line->setFixedHeight(1);
    dividerLayout->addWidget(line);
    column->addWidget(m_divider);

    // A plain-text document lays out lazily, so a long history opens at once.
    m_textArea = new QPlainTextEdit(this);
    m_textArea->setObjectName(QStringLiteral("changelogText"));
    m_textArea->setReadOnly(true);
    m_textArea->setFixedHeight(280);
    m_textArea->setFont(Fonts::system(14));
    m_textArea->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_textArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    column->addWidget(m_textArea);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, &ChangelogCardContent::refresh);
    refresh();
}

void ChangelogCardContent::toggle()
{
    m_expanded = !m_expanded;
    if (m_expanded && m_text.isEmpty())
        loadChangelog();
    refresh();
    if (m_expanded)
        Q_EMIT expanded();
}

void ChangelogCardContent::loadChangelog()
{
    const std::optional<QString> address = OnlineConfig::remoteAddress(QStringLiteral("version.txt"));
    if (!address) {
        setText(QStringLiteral("未配置更新服务器"));
        return;
    }
    setText(QStringLiteral("加载中..."));
    RemoteFetch::getText(*address, RemoteFetch::timeouts().standardMs, this, [this](const std::optional<QString>& body) {
        if (!body || !VersionFile::isVersionFile(*body))
            setText(QStringLiteral("加载失败"));
        else
            setText(VersionFile::changelog(*body).value_or(QStringLiteral("暂无更新内容")));
    });
}

void ChangelogCardContent::setText(const QString& text)
{
    m_text = text;
    m_textArea->setPlainText(text);
}

void ChangelogCardContent::refresh()
{
    m_rowLabel->setText(m_expanded ? QStringLiteral("收起更新日志") : QStringLiteral("查看历史更新内容"));
    m_chevron->setText(Symbols::glyph(m_expanded ? QStringLiteral("chevron.up") : QStringLiteral("chevron.right")));
    m_divider->setVisible(m_expanded);
    m_textArea->setVisible(m_expanded);
    styleTextArea(m_textArea, AppTheme::withOpacity(AppTheme::textPrimary(), 0.8));
}

UpdatePreferenceContent::UpdatePreferenceContent(QWidget* parent)
    : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    auto* row = new QHBoxLayout;
    row->addWidget(new ThemedLabel(QStringLiteral("自动检查更新"), Fonts::system(13),
                                   [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.85); }, this));
    row->addStretch(1);
    m_switch = new ToggleSwitch(this);
    m_switch->setObjectName(QStringLiteral("autoCheckSwitch"));
    m_switch->setChecked(SoftwareUpdatePrefs::autoCheckEnabled());
    connect(m_switch, &QAbstractButton::toggled, this, &SoftwareUpdatePrefs::setAutoCheckEnabled);
    row->addWidget(m_switch);
    column->addLayout(row);
    auto* hint = new ThemedLabel(QStringLiteral("开启后，有新版本时会自动提醒你。"), Fonts::system(10),
                                 [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); }, this);
    hint->setWordWrap(true);
    column->addWidget(hint);
}
