#include "SheetField.h"

#include "orderbook/Money.h"
#include "ui/AppTheme.h"
#include "ui/SystemColors.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QBoxLayout>
#include <QLineEdit>

QColor formAccentColor()
{
    return colorFromHex(0xCD5B2B);
}

QString fieldBorder(const QLineEdit* edit)
{
    return edit->property("invalidAmount").toBool()
        ? QStringLiteral("border: 1px solid %1;").arg(SystemColors::red().name())
        : QStringLiteral("border: none;");
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
    // Colours through the palette: a style sheet colour would also
    // paint the placeholder in the accent.
    const QColor accent = formAccentColor();
    QPalette p = edit->palette();
    p.setColor(QPalette::Text, accent);
    p.setColor(QPalette::PlaceholderText, AppTheme::withOpacity(AppTheme::textPrimary(), 0.4));
    p.setColor(QPalette::Highlight, AppTheme::withOpacity(accent, 0.35));
    edit->setPalette(p);
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
