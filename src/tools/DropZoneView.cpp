#include "DropZoneView.h"

#include "ui/AppTheme.h"
#include "ui/ComingSoonBadge.h"
#include "ui/DashedCard.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "ui/ThemedLabel.h"

#include <QVBoxLayout>

DropZoneView::DropZoneView(const std::optional<MenuItem>& currentMenu, QWidget* parent)
    : ThemedPanel(&AppTheme::background, parent)
    , m_menu(currentMenu)
{
    setAcceptDrops(false);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->addStretch(1);

    auto* box = new DashedCard(QSize(360, 200), 16, this);
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->setSpacing(16);
    boxLayout->setAlignment(Qt::AlignCenter);
    auto* icon = new ThemedLabel(Symbols::glyph(QStringLiteral("icloud.and.arrow.up")), Symbols::font(48),
                                 &AppTheme::gold, box);
    icon->setAlignment(Qt::AlignCenter);
    auto* hint = new ThemedLabel(hintText(), Fonts::system(16, QFont::Medium), &AppTheme::textGold, box);
    hint->setObjectName(QStringLiteral("dropZoneHint"));
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    boxLayout->addWidget(icon);
    boxLayout->addWidget(hint);
    page->addWidget(box, 0, Qt::AlignHCenter);
    page->addStretch(1);

    m_badge = new ComingSoonBadge(this);
    m_badge->resize(m_badge->sizeHint());
    placeBadge();
}

QString DropZoneView::hintText(const std::optional<MenuItem>& menu)
{
    if (menu && menu->title == QStringLiteral("自动删废片"))
        return QStringLiteral("自动帮你挑选出闭眼、虚焦、严重过曝等照片");
    return QStringLiteral("将照片文件夹拖到此处");
}

void DropZoneView::resizeEvent(QResizeEvent* event)
{
    ThemedPanel::resizeEvent(event);
    placeBadge();
}

void DropZoneView::placeBadge()
{
    m_badge->move(width() - 32 - m_badge->width(), 28);
    m_badge->raise();
}
