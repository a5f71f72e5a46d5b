#include "PendingScreenView.h"

#include "ui/AppTheme.h"
#include "ui/GoldButtonStyle.h"
#include "ui/Fonts.h"
#include "ui/ThemedLabel.h"

#include <QPushButton>
#include <QVBoxLayout>

PendingScreenView::PendingScreenView(const QString& screenTitle, const QString& screenClass, QWidget* parent,
                                     std::function<void()> onBack)
    : ThemedPanel(&AppTheme::background, parent)
    , m_title(screenTitle)
    , m_class(screenClass)
{
    setObjectName(QStringLiteral("pendingScreen"));
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    layout->addStretch(1);
    auto* title = new ThemedLabel(screenTitle, Fonts::system(28, QFont::Bold), &AppTheme::accentOrange, this);
    title->setAlignment(Qt::AlignCenter);
    auto* note = new ThemedLabel(QStringLiteral("此页面正在建设中"), Fonts::system(14),
                                 [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.6); }, this);
    note->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    layout->addWidget(note);
    if (onBack) {
        auto* back = new QPushButton(QStringLiteral("返回"), this);
        back->setObjectName(QStringLiteral("pendingScreenBack"));
        GoldButtonStyle::apply(back);
        connect(back, &QPushButton::clicked, this, [onBack] { onBack(); });
        layout->addWidget(back, 0, Qt::AlignHCenter);
    }
    layout->addStretch(1);
}
