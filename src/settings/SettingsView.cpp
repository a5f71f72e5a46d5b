#include "SettingsView.h"

#include "platform/UserDefaults.h"
#include "settings/EasedLevel.h"
#include "settings/SettingsRows.h"
#include "tools/ToolsKeys.h"
#include "settings/UniformVolumeSlider.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/RoundedPanel.h"
#include "ui/LightScrollBar.h"
#include "ui/Symbols.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QAbstractButton>
#include <QDialog>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// "by " and the author, underlined; brighter under the pointer, dimmed while pressed.
class AuthorSignature : public QAbstractButton
{
public:
    explicit AuthorSignature(QWidget* parent)
        : QAbstractButton(parent)
    {
        setObjectName(QStringLiteral("authorSignature"));
        setText(QStringLiteral("by Kelvara Studio"));
        setCursor(Qt::PointingHandCursor);
        setFont(Fonts::system(13));
        connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, qOverload<>(&QWidget::update));
    }
    QSize sizeHint() const override
    {
        const QFontMetrics fm(font());
        return QSize(fm.horizontalAdvance(text()) + 2, fm.height() + 3);
    }

protected:
    void enterEvent(QEnterEvent*) override { m_hover->setOn(true); }
    void leaveEvent(QEvent*) override { m_hover->setOn(false); }
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setOpacity(isDown() ? 0.55 : 1.0);
        const QColor color = AppTheme::withOpacity(AppTheme::textGold(), 0.85 + 0.15 * m_hover->value());
        const QFontMetrics fm(font());
        p.setPen(color);
        p.setFont(font());
        p.drawText(QPointF(1, fm.ascent()), text());
        p.fillRect(QRectF(1, fm.ascent() + 1.5, fm.horizontalAdvance(text()), 1), color);
    }

private:
    EasedLevel* m_hover = new EasedLevel(this, 150);
};
}

SettingsView::SettingsView(std::function<void()> onPackageSettingsTapped, QWidget* parent)
    : ThemedPanel(&AppTheme::background, parent)
    , m_onPackageSettings(std::move(onPackageSettingsTapped))
{
    setObjectName(QStringLiteral("settingsView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    QScrollArea* scroll = LightScrollBar::makeVerticalScrollArea(this);
    m_scroll = scroll;
    outer->addWidget(scroll);

    auto* page = new QWidget;
    auto* centring = new QHBoxLayout(page);
    centring->setContentsMargins(0, 0, 0, 0);
    auto* column = new QWidget(page);
    column->setMaximumWidth(620);
    auto* groups = new QVBoxLayout(column);
    groups->setContentsMargins(32, 32, 32, 32);
    groups->setSpacing(24);
    groups->addWidget(new LightScrollBar(column));
    groups->addWidget(group(QStringLiteral("自动导片设置"), QStringLiteral("tray.and.arrow.down"), importGroup()));
    groups->addWidget(group(QStringLiteral("快速分片设置"), QStringLiteral("line.3.horizontal.decrease.circle"),
                            quickFilterGroup()));
    groups->addWidget(group(QStringLiteral("通用全局设置"), QStringLiteral("gearshape"), generalGroup()));
    groups->addWidget(group(QStringLiteral("数据备份与恢复"), QStringLiteral("arrow.triangle.2.circlepath"), backupGroup()));
    groups->addWidget(group(QStringLiteral("问题反馈 & 技术支持"), QStringLiteral("exclamationmark.bubble"), supportGroup()));
    groups->addStretch(1);
    centring->addStretch(0);
    centring->addWidget(column, 1);
    centring->addStretch(0);
    scroll->setWidget(page);
    page->setAutoFillBackground(false);
}

const QStringList& SettingsView::launchPages()
{
    static const QStringList pages{"自动导片", "自动分离", "快速分片", "FTP传输", "档期收入",
                                   "照片设计", "批量小工具", "自动删废片", "作品展示", "在线选片"};
    return pages;
}

int SettingsView::storedVolume()
{
    const UserDefaults& defaults = UserDefaults::standard();
    const int fallback = ToolsKeys::autoImportVolume.defaultValue;
    if (!defaults.object(ToolsKeys::autoImportVolume).isValid())
        return fallback;
    const double v = defaults.doubleValue(ToolsKeys::autoImportVolume);
    return std::isfinite(v) ? int(std::clamp(v, 0.0, 100.0)) : fallback;
}

int SettingsView::volumeToStore(double value)
{
    return int(std::round(std::clamp(std::isfinite(value) ? value : 0.0, 0.0, 100.0)));
}

QWidget* SettingsView::group(const QString& title, const QString& icon, QWidget* content)
{
    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(new ThemedLabel(Symbols::glyph(icon), Symbols::font(14), &AppTheme::gold, box));
    header->addWidget(new ThemedLabel(title, Fonts::system(16, QFont::Bold), &AppTheme::textGold, box));
    header->addStretch(1);
    column->addLayout(header);
    auto* card = new RoundedPanel(&AppTheme::cardBackground, 10, box);
    auto* inner = new QVBoxLayout(card);
    inner->setContentsMargins(16, 16, 16, 16);
    inner->setSpacing(12);
    content->setParent(card);
    inner->addWidget(content);
    column->addWidget(card);
    return box;
}

QWidget* SettingsView::importGroup()
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addWidget(SettingsRows::preferenceSwitch(ToolsKeys::autoImportSound,
                                                     QStringLiteral("导入完成后播放提示音"),
                                                     QStringLiteral("任务全部正常跑完才播放系统提示音，手动取消则不播放"),
                                                     content));
    auto* row = new QHBoxLayout;
    auto* label = new ThemedLabel(QString(), Fonts::system(12), &AppTheme::textGold, content);
    label->setObjectName(QStringLiteral("volumeLabel"));
    label->setFixedWidth(86);
    UniformVolumeSlider::Look look;
    look.tickColor = [] {
        return AppTheme::isDark() ? AppTheme::withOpacity(AppTheme::textPrimary(), 0.18)
                                  : AppTheme::withOpacity(AppTheme::gold(), 0.35);
    };
    look.thumbColor = [] { return AppTheme::isDark() ? AppTheme::textPrimary() : AppTheme::gold(); };
    auto* slider = new UniformVolumeSlider(look, content);
    // The slider's own half-thumb margin makes the row's 10 pt gap.
    row->setSpacing(std::max(0, 10 - int(look.thumbSize / 2)));
    auto show = [label, slider] {
        const int volume = storedVolume();
        label->setText(QStringLiteral("音量：%1%").arg(volume));
        slider->setValue(volume);
    };
    show();
    connect(slider, &UniformVolumeSlider::valueDragged, this,
            [](double v) { UserDefaults::standard().set(ToolsKeys::autoImportVolume, volumeToStore(v)); });
    connect(&UserDefaults::standard(), &UserDefaults::changed, slider, [show](const QString& key) {
        if (key == QLatin1String(ToolsKeys::autoImportVolume.name))
            show();
    });
    row->addWidget(label);
    row->addWidget(slider, 1);
    column->addLayout(row);
    return content;
}

QWidget* SettingsView::quickFilterGroup()
{
    return SettingsRows::preferenceSwitch(
        ToolsKeys::missingRawList, QStringLiteral("找不到匹配RAW时输出缺失清单txt"),
        QStringLiteral("开启后，有素材找不到对应RAW时会在输出目录生成「缺失RAW清单.txt」"), nullptr);
}

QWidget* SettingsView::supportGroup()
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    for (const QString& text : {QStringLiteral("开发不易，每一个功能/布局/按钮/字号/样式/背景/设计背后都是无数的心血。"),
                                QStringLiteral("如遇Bug，不要慌，可点击下方链接复制微信号来找我反馈，我会及时修复的。")}) {
        auto* line = SettingsRows::note(text, 11, 0.35, content);
        line->setAlignment(Qt::AlignHCenter);
        column->addWidget(line);
    }
    auto* signature = new AuthorSignature(content);
    connect(signature, &QAbstractButton::clicked, this, [this] {
        if (m_about || !m_aboutFactory)
            return;
        m_about = m_aboutFactory(window());
        if (m_about)
            m_about->open();
    });
    column->addSpacing(10);
    column->addWidget(signature, 0, Qt::AlignHCenter);
    return content;
}
