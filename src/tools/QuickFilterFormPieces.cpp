#include "QuickFilterFormPieces.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/SystemColors.h"
#include "ui/ThemedLabel.h"

#include <QFontMetrics>
#include <QHBoxLayout>

namespace QuickFilterFormPieces {

QWidget* stepRow(const QString& number, const QString& title, QWidget* content, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kRowSpacing);
    const QFont font = Fonts::system(14, QFont::Medium);
    auto* label = new ThemedLabel(number + QLatin1Char(' ') + title, font, &AppTheme::gold, row);
    label->setWordWrap(true);
    label->setFixedWidth(kTitleWidth);
    // At most two lines; a longer title is cut after the second.
    label->setMaximumHeight(2 * QFontMetrics(font).lineSpacing());
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    layout->addWidget(label, 0, Qt::AlignVCenter);
    layout->addWidget(content, 1);
    return row;
}

PlateButton::Look formatButtonLook(bool selected)
{
    PlateButton::Look look;
    look.font = Fonts::system(13, selected ? QFont::Bold : QFont::Normal);
    look.text = selected ? &AppTheme::onGoldText : &AppTheme::textGold;
    look.fill = selected ? &AppTheme::gold : &AppTheme::cardBackground;
    look.outline = selected ? PlateButton::ColorFn(&AppTheme::gold)
                            : PlateButton::ColorFn([] { return AppTheme::withOpacity(SystemColors::gray(), 0.3); });
    look.padding = QMargins(16, 6, 16, 6);
    look.radius = 8;
    return look;
}

PlateButton* formatButton(const QString& title, bool selected, QWidget* parent)
{
    return new PlateButton(title, formatButtonLook(selected), parent);
}

PlateButton* startButton(QWidget* parent)
{
    PlateButton::Look look;
    look.font = Fonts::system(15, QFont::Bold);
    look.text = &AppTheme::onGoldText;
    look.fill = &AppTheme::gold;
    look.padding = QMargins(60, 12, 60, 12);
    look.radius = 10;
    return new PlateButton(QStringLiteral("开始导出"), look, parent);
}

}
