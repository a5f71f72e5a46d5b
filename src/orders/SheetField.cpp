#include "SheetField.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QBoxLayout>
#include <QLineEdit>

QColor formAccentColor()
{
    return colorFromHex(0xCD5B2B);
}

void styleAccentField(QLineEdit* edit, int fontSize)
{
    auto apply = [edit] {
        const QColor accent = formAccentColor();
        edit->setStyleSheet(QStringLiteral("QLineEdit { color: %1; background: %2; border: none; border-radius: 8px;"
                                           " padding: 8px 10px; selection-background-color: %3; }")
                                .arg(accent.name(), AppTheme::searchBackground().name(),
                                     AppTheme::withOpacity(accent, 0.35).name(QColor::HexArgb)));
    };
    edit->setFont(Fonts::system(fontSize));
    edit->setFrame(false);
    apply();
    QObject::connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, edit, apply);
}

QLineEdit* addSheetField(QBoxLayout* into, const QString& label, const QString& text, QWidget* parent)
{
    auto* column = new QVBoxLayout;
    column->setSpacing(8);
    column->addWidget(new ThemedLabel(label, Fonts::system(12),
                                      [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.6); }, parent));
    auto* edit = new QLineEdit(text, parent);
    styleAccentField(edit);
    column->addWidget(edit);
    into->addLayout(column);
    return edit;
}
