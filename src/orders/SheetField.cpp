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
        // Colours through the palette: a style sheet colour would also
        // paint the placeholder in the accent.
        const QColor accent = formAccentColor();
        QPalette p = edit->palette();
        p.setColor(QPalette::Text, accent);
        p.setColor(QPalette::PlaceholderText, AppTheme::withOpacity(AppTheme::textPrimary(), 0.4));
        p.setColor(QPalette::Highlight, AppTheme::withOpacity(accent, 0.35));
        edit->setPalette(p);
        edit->setStyleSheet(QStringLiteral("QLineEdit { background: %1; border: none; border-radius: 8px;"
                                           " padding: 8px 10px; }")
                                .arg(AppTheme::searchBackground().name()));
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
