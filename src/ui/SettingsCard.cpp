#include "SettingsCard.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/RoundedPanel.h"

#include <QHBoxLayout>

RoundedPanel* settingsCard(QWidget* parent)
{
    auto* card = new RoundedPanel(&AppTheme::cardBackground, 10, parent);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(16, 16, 16, 16);
    row->setAlignment(Qt::AlignVCenter);
    return card;
}

QHBoxLayout* settingsCardRow(RoundedPanel* card)
{
    return qobject_cast<QHBoxLayout*>(card->layout());
}

PlateButton* borderedFieldContainer(const QString& symbol, const QString& text, QWidget* parent)
{
    PlateButton::Look look;
    look.fill = &AppTheme::searchBackground;
    look.outline = [] { return AppTheme::withOpacity(AppTheme::gold(), 0.3); };
    look.text = [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.85); };
    look.font = Fonts::system(13, QFont::Medium);
    look.padding = QMargins(8, 8, 8, 8);
    look.radius = 8;
    look.symbol = symbol;
    look.symbolSize = 12;
    look.spacing = 6;
    auto* button = new PlateButton(text, look, parent);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}
