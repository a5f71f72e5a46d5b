#include "TextBoxColors.h"

#include "ui/AppTheme.h"
#include "ui/ThemeObserver.h"

#include <QWidget>

void paintTextBox(QWidget* box, std::function<QColor()> typed, std::function<QColor()> hint)
{
    auto apply = [box, typed = std::move(typed), hint = std::move(hint)] {
        // Palette roles, not a style sheet colour: a style sheet colour
        // would paint the hint in the typed colour as well.
        QPalette p = box->palette();
        const QColor text = AppTheme::readableText(typed());
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            p.setColor(group, QPalette::Text, text);
            p.setColor(group, QPalette::PlaceholderText, AppTheme::readableText(hint()));
            p.setColor(group, QPalette::Highlight, AppTheme::withOpacity(text, 0.3));
            p.setColor(group, QPalette::HighlightedText, text);
        }
        box->setPalette(p);
    };
    apply();
    QObject::connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, box, apply);
}
