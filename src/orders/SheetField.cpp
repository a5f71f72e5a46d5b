#include "SheetField.h"

#include "orderbook/Money.h"
#include "ui/AppTheme.h"
#include "ui/SystemColors.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"
#include "ui/TextBoxColors.h"
#include "ui/ThemedLabel.h"

#include <QBoxLayout>
#include <QLineEdit>

QColor formAccentColor()
{
    // The theme's orange: the fixed #CD5B2B reads at only 3.5:1 on the
    // field plates of either theme.
    return AppTheme::accentOrange();
}

QString fieldBorder(const QLineEdit* edit)
{
    // The same width either way: a field growing by its border would
    // widen a sheet sized by its content and move its buttons.
    return QStringLiteral("border: 1px solid %1;")
        .arg(edit->property("invalidAmount").toBool() ? SystemColors::red().name() : QStringLiteral("transparent"));
}

void watchAmount(QLineEdit* edit, std::function<void()> restyle)
{
    auto check = [edit, restyle = std::move(restyle)] {
        const Money::TypedAmount amount = Money::readTyped(edit->text());
        edit->setToolTip(amount.problem);
        if (edit->property("invalidAmount").toBool() == !amount.ok())
            return;
        edit->setProperty("invalidAmount", !amount.ok());
        restyle();
    };
    check();
    QObject::connect(edit, &QLineEdit::textChanged, edit, check);
}

namespace {

void applyAccentStyle(QLineEdit* edit)
{
    edit->setStyleSheet(QStringLiteral("QLineEdit { background: %1; %2 border-radius: 8px; padding: 8px 10px; }")
                            .arg(AppTheme::searchBackground().name(), fieldBorder(edit)));
}

}

void styleAccentField(QLineEdit* edit, int fontSize)
{
    edit->setFont(Fonts::system(fontSize));
    edit->setFrame(false);
    applyAccentStyle(edit);
    QObject::connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, edit, [edit] { applyAccentStyle(edit); });
    paintTextBox(edit, &formAccentColor, [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); });
}

void watchAccentAmount(QLineEdit* edit)
{
    watchAmount(edit, [edit] { applyAccentStyle(edit); });
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
