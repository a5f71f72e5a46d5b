// The general options of the settings page: launch page, theme, icon style
// and the launcher sync switch.
#include "SettingsView.h"

#include "platform/UserDefaults.h"
#include "settings/AppIconManager.h"
#include "settings/LauncherIconSync.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsRows.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"
#include "ui/ToggleSwitch.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

QString storedLaunchPage()
{
    return UserDefaults::standard().string(SettingsKeys::defaultLaunchPage).value_or(QStringLiteral("自动导片"));
}

// A face that is marked while `selected` answers true, read at every paint.
PlateButton* choiceButton(const QString& text, std::function<bool()> selected, qreal radius, QMargins padding,
                          qreal unselectedTextOpacity, QWidget* parent)
{
    PlateButton::Look look;
    look.font = Fonts::system(13, QFont::Medium);
    look.radius = radius;
    look.padding = padding;
    look.fill = [selected] { return selected() ? AppTheme::gold() : AppTheme::searchBackground(); };
    look.text = [selected, unselectedTextOpacity] {
        return selected() ? AppTheme::background() : AppTheme::withOpacity(AppTheme::textPrimary(), unselectedTextOpacity);
    };
    look.outline = [selected] { return selected() ? AppTheme::gold() : AppTheme::withOpacity(AppTheme::gold(), 0.25); };
    auto* button = new PlateButton(text, look, parent);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setMinimumWidth(0);
    return button;
}

// An icon style: its image at 52 above its name, on a plate marked in gold.
class IconChoice : public QAbstractButton
{
public:
    IconChoice(AppIconStyle style, QWidget* parent)
        : QAbstractButton(parent)
        , m_style(style)
    {
        setObjectName(QStringLiteral("iconChoice_") + AppIconStyles::rawValue(style));
        setText(AppIconStyles::displayName(style));
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, qOverload<>(&QWidget::update));
    }
    bool isMarked() const { return AppIconManager::savedStyle() == m_style; }
    QSize sizeHint() const override
    {
        const QFontMetrics fm(Fonts::system(11, QFont::Medium));
        return QSize(qMax(52, fm.horizontalAdvance(text())) + 12, 10 + 52 + 6 + fm.height() + 10);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        if (isDown())
            p.setOpacity(0.7);
        const bool marked = isMarked();
        QPainterPath plate;
        plate.addRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 10, 10);
        p.fillPath(plate, marked ? AppTheme::withOpacity(AppTheme::gold(), 0.12) : AppTheme::searchBackground());
        p.setPen(QPen(marked ? AppTheme::gold() : AppTheme::withOpacity(AppTheme::gold(), 0.22), marked ? 1.5 : 1.0));
        p.drawPath(plate);
        const QRectF image((width() - 52) / 2.0, 10, 52, 52);
        p.drawImage(image, AppIconManager::makeImage(m_style, 128));
        const QFont font = Fonts::system(11, QFont::Medium);
        p.setFont(font);
        p.setPen(marked ? AppTheme::textGold() : AppTheme::withOpacity(AppTheme::textPrimary(), 0.7));
        p.drawText(QRectF(0, image.bottom() + 6, width(), QFontMetrics(font).height()), Qt::AlignCenter, text());
    }

private:
    AppIconStyle m_style;
};

QHBoxLayout* row(int spacing)
{
    auto* layout = new QHBoxLayout;
    layout->setSpacing(spacing);
    return layout;
}
}

QWidget* SettingsView::generalGroup()
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    QList<QWidget*> marked;

    column->addWidget(SettingsRows::note(QStringLiteral("选择你常用功能作为打开软件的默认页面"), 12, 0.5, content));
    for (int r = 0; r < 2; ++r) {
        QHBoxLayout* pages = row(8);
        for (const QString& title : launchPages().mid(r * 5, 5)) {
            PlateButton* button = choiceButton(title, [title] { return storedLaunchPage() == title; }, 8,
                                               QMargins(8, 8, 8, 8), 0.85, content);
            button->setObjectName(QStringLiteral("launchPage_") + title);
            connect(button, &QAbstractButton::clicked, this,
                    [title] { UserDefaults::standard().set(SettingsKeys::defaultLaunchPage, title); });
            pages->addWidget(button);
            marked << button;
        }
        column->addLayout(pages);
    }
    column->addWidget(SettingsRows::note(QStringLiteral("修改后立即生效，下次启动软件自动打开该页面"), 11, 0.35, content));

    column->addSpacing(6);
    column->addWidget(SettingsRows::note(QStringLiteral("选择界面主题，切换后立即生效"), 12, 0.5, content));
    QHBoxLayout* themes = row(12);
    for (AppThemeStyle style : AppThemeStyles::allCases()) {
        PlateButton* button = choiceButton(AppThemeStyles::displayName(style),
                                           [style] { return ThemeObserver::shared().style() == style; }, 10,
                                           QMargins(8, 10, 8, 10), 0.8, content);
        button->setObjectName(QStringLiteral("theme_") + AppThemeStyles::rawValue(style));
        connect(button, &QAbstractButton::clicked, this, [style] { ThemeObserver::shared().setStyle(style); });
        themes->addWidget(button);
    }
    column->addLayout(themes);

    column->addSpacing(6);
    column->addWidget(SettingsRows::note(QStringLiteral("选择软件图标样式，切换后立即生效"), 12, 0.5, content));
    QHBoxLayout* icons = row(12);
    for (AppIconStyle style : AppIconStyles::allCases()) {
        auto* button = new IconChoice(style, content);
        connect(button, &QAbstractButton::clicked, this, [style] { AppIconManager::apply(style); });
        icons->addWidget(button);
        marked << button;
    }
    column->addLayout(icons);

    column->addSpacing(8);
    QWidget* sync = SettingsRows::preferenceSwitch(
        SettingsKeys::launchpadSync, QStringLiteral("切换图标时同步更新启动器图标"),
        QStringLiteral("开启后，切换图标会同时替换软件在启动器 / 文件管理器中的图标（本机生效）"), content);
    // Icons chosen while the sync was off never reached the launcher.
    connect(sync->findChild<ToggleSwitch*>(), &QAbstractButton::clicked, this, [](bool on) {
        if (on)
            LauncherIconSync::request(AppIconManager::savedStyle());
    });
    column->addWidget(sync);

    connect(&UserDefaults::standard(), &UserDefaults::changed, content, [marked](const QString& key) {
        if (key == QLatin1String(SettingsKeys::defaultLaunchPage.name)
            || key == QLatin1String(SettingsKeys::appIconStyle.name))
            for (QWidget* w : marked)
                w->update();
    });
    return content;
}
