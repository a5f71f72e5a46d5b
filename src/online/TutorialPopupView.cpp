#include "TutorialPopupView.h"

#include "online/PopupFit.h"
#include "online/RemoteContentLoader.h"
#include "online/TextAreaStyle.h"
#include "online/PlateLook.h"
#include "platform/UrlOpener.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/SystemColors.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

namespace {
constexpr int kWidth = 380;
constexpr int kInset = 26;
// A row's widest: the column less the scroll bar that may show beside it.
constexpr int kRowWidth = kWidth - 2 * kInset - 8;

void clear(QVBoxLayout* box)
{
    while (QLayoutItem* item = box->takeAt(0)) {
        delete item->widget();
        delete item;
    }
}

ThemedLabel* heading(const QString& text, QWidget* parent)
{
    auto* l = new ThemedLabel(text, Fonts::system(17, QFont::Bold), &AppTheme::textGold, parent);
    l->setAlignment(Qt::AlignHCenter);
    return l;
}

// A link's title is the server's: on one row, cut to the column.
PlateButton* linkRow(const QString& title, PlateButton::Look look)
{
    auto* row = new PlateButton(QString(), std::move(look));
    PopupFit::setElidedText(row, title, kRowWidth);
    return row;
}

// Tutorial links are underlined gold text.
PlateButton::Look textLinkLook()
{
    QFont font = Fonts::system(13, QFont::Medium);
    font.setUnderline(true);
    return plateLook(nullptr, &AppTheme::textGold, font, QMargins());
}
}

TutorialPopupView::TutorialPopupView(QWidget* parent)
    : QDialog(parent)
    , m_social(builtInSocialLinks())
{
    setObjectName(QStringLiteral("tutorialSheet"));
    setWindowTitle(QStringLiteral("使用教程"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kInset, kInset, kInset, kInset);
    column->setSpacing(16);
    column->addWidget(heading(QStringLiteral("我的社交账号"), this));
    // Both lists scroll between the first heading and "关闭", which stay in
    // sight however many links the server sends.
    auto* canvas = new QWidget;
    auto* lists = new QVBoxLayout(canvas);
    lists->setContentsMargins(0, 0, 0, 0);
    lists->setSpacing(16);
    m_socialBox = new QVBoxLayout;
    m_socialBox->setSpacing(16);
    lists->addLayout(m_socialBox);
    lists->addWidget(heading(QStringLiteral("使用教程"), canvas));
    m_tutorialBox = new QVBoxLayout;
    m_tutorialBox->setSpacing(10);
    m_tutorialBox->setContentsMargins(0, 4, 0, 4);
    lists->addLayout(m_tutorialBox);
    auto* area = new FittingScrollArea(canvas, kWidth - 2 * kInset, this);
    area->setObjectName(QStringLiteral("tutorialLinks"));
    column->addWidget(area, 1);
    auto* close = new PlateButton(
        QStringLiteral("关闭"),
        plateLook(&AppTheme::cardBackground, &AppTheme::textGold, Fonts::system(13, QFont::Medium), {22, 6, 22, 6}), this);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
    column->addWidget(close, 0, Qt::AlignHCenter);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this, area] {
        styleTextArea(area, AppTheme::textPrimary());
        update();
    });
    rebuild();
    PopupFit::keepInRoom(this);

    // Social first, then the tutorials; both answers die with the sheet.
    RemoteContentLoader::fetchAsync(QStringLiteral("social.txt"), this, [this](const std::optional<QString>& text) {
        if (text) {
            const QList<PopupTexts::Link> links = PopupTexts::parseLinks(*text);
            if (!links.isEmpty())
                m_social = links;
        }
        RemoteContentLoader::fetchAsync(QStringLiteral("tutorial.txt"), this, [this](const std::optional<QString>& text) {
            if (text)
                m_tutorial = PopupTexts::parseLinks(*text);
            rebuild();
        });
        rebuild();
    });
}

QList<PopupTexts::Link> TutorialPopupView::builtInSocialLinks()
{
    return {{QStringLiteral("小红书主页"), QStringLiteral("https://www.xiaohongshu.com/")},
            {QStringLiteral("抖音主页"), QStringLiteral("https://www.douyin.com/")}};
}

void TutorialPopupView::rebuild()
{
    clear(m_socialBox);
    clear(m_tutorialBox);
    auto open = [](const QString& address) {
        if (const auto url = UrlOpener::webAddress(address))
            UrlOpener::open(*url);
    };
    for (const PopupTexts::Link& link : m_social) {
        auto* b = linkRow(link.title, plateLook(&AppTheme::gold, &AppTheme::onGoldText,
                                                Fonts::system(14, QFont::DemiBold), {32, 10, 32, 10}, 10));
        b->setObjectName(QStringLiteral("socialLink"));
        connect(b, &QAbstractButton::clicked, this, [open, url = link.url] { open(url); });
        m_socialBox->addWidget(b, 0, Qt::AlignHCenter);
    }
    for (const PopupTexts::Link& link : m_tutorial) {
        auto* b = linkRow(link.title, textLinkLook());
        b->setObjectName(QStringLiteral("tutorialLink"));
        connect(b, &QAbstractButton::clicked, this, [open, url = link.url] { open(url); });
        m_tutorialBox->addWidget(b, 0, Qt::AlignHCenter);
    }
    if (m_tutorial.isEmpty()) {
        auto* none = new ThemedLabel(QStringLiteral("计划更新中"), Fonts::system(12), &SystemColors::gray, nullptr);
        none->setObjectName(QStringLiteral("tutorialPlaceholder"));
        m_tutorialBox->addWidget(none, 0, Qt::AlignHCenter);
    }
}

void TutorialPopupView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), AppTheme::background());
}
