#include "ComingSoonView.h"

#include "ui/AppTheme.h"
#include "ui/DashedCard.h"
#include "ui/Fonts.h"
#include "ui/ThemedLabel.h"

#include <QVBoxLayout>

ComingSoonView::ComingSoonView(const std::optional<MenuItem>& currentMenu, QWidget* parent)
    : ThemedPanel(&AppTheme::background, parent)
    , m_menu(currentMenu)
{
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addStretch(1);

    auto* card = new DashedCard(QSize(520, 280), 20, this);
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(20, 20, 20, 20);
    cardLayout->setSpacing(20);
    cardLayout->setAlignment(Qt::AlignCenter);

    auto* heading = new QVBoxLayout;
    heading->setSpacing(10);
    auto* title = new ThemedLabel(m_menu ? m_menu->title : QString(), Fonts::system(28, QFont::Bold),
                                  &AppTheme::accentOrange, card);
    title->setObjectName(QStringLiteral("comingSoonTitle"));
    title->setAlignment(Qt::AlignCenter);
    auto* subtitle = new ThemedLabel(m_menu ? m_menu->subtitle : QString(), Fonts::system(14),
                                     [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.7); }, card);
    subtitle->setObjectName(QStringLiteral("comingSoonSubtitle"));
    subtitle->setAlignment(Qt::AlignCenter);
    subtitle->setWordWrap(true);
    heading->addWidget(title);
    heading->addWidget(subtitle);
    cardLayout->addLayout(heading);

    auto* divider = new ThemedPanel([] { return AppTheme::withOpacity(AppTheme::dropZoneBorder(), 0.3); }, card);
    divider->setFixedSize(520 - 80, 1);
    cardLayout->addWidget(divider, 0, Qt::AlignHCenter);

    auto* notice = new ThemedLabel(noticeText(), Fonts::system(18, QFont::Medium), &AppTheme::textGold, card);
    notice->setAlignment(Qt::AlignCenter);
    cardLayout->addWidget(notice);

    page->addWidget(card, 0, Qt::AlignHCenter);
    page->addStretch(1);
}
