#include "OrderFormBlocks.h"

#include "orders/SheetField.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/RoundedPanel.h"
#include "ui/SystemColors.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedPanel.h"

#include <QLineEdit>
#include <QVBoxLayout>

namespace OrderFormBlocks {

RoundedPanel* formSection(const QString& title, QWidget* content, QWidget* parent, int padding, int spacing)
{
    auto* card = new RoundedPanel(&AppTheme::cardBackground, 10, parent);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(spacing);
    column->addWidget(new ThemedLabel(title, Fonts::system(14, QFont::Bold), &AppTheme::textGold, card));
    content->setParent(card);
    column->addWidget(content);
    return card;
}

QWidget* fieldLabel(const QString& text, QWidget* parent)
{
    return new ThemedLabel(text, Fonts::system(12), [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.6); },
                           parent);
}

Field formField(const QString& label, const QString& placeholder, QWidget* parent)
{
    Field f;
    f.widget = new QWidget(parent);
    auto* column = new QVBoxLayout(f.widget);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(fieldLabel(label, f.widget));
    f.edit = new QLineEdit(f.widget);
    f.edit->setPlaceholderText(placeholder);
    styleAccentField(f.edit);
    column->addWidget(f.edit);
    return f;
}

namespace {

PlateButton* answerFace(const QString& title, PlateButton::Look look, QWidget* parent)
{
    look.padding = QMargins(20, 10, 20, 10);
    look.radius = 8;
    auto* button = new PlateButton(title, look, parent);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

}

PlateButton* secondaryButtonLabel(const QString& title, QWidget* parent)
{
    PlateButton::Look look;
    look.fill = &AppTheme::searchBackground;
    look.text = [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.6); };
    look.font = Fonts::system(13);
    return answerFace(title, look, parent);
}

PlateButton* goldButtonLabel(const QString& title, QWidget* parent)
{
    PlateButton::Look look;
    look.fill = &AppTheme::gold;
    look.text = &AppTheme::background;
    look.font = Fonts::system(13, QFont::Bold);
    return answerFace(title, look, parent);
}

ThemedLabel* problemLine(const QString& name, QWidget* parent)
{
    auto* line = new ThemedLabel(QString(), Fonts::system(12), &SystemColors::red, parent);
    line->setObjectName(name);
    line->setWordWrap(true);
    // The line wraps to the width the sheet already has: a long reason
    // widening the sheet would move its buttons from under the pointer.
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    line->setSizePolicy(policy);
    line->hide();
    return line;
}

void showProblem(ThemedLabel* line, const QString& reason)
{
    if (!reason.isEmpty()) {
        line->setText(reason);
        // A reason once shown keeps its room while the sheet is open: the
        // sheet shrinking back as it goes would move its buttons from under
        // the pointer.
        QSizePolicy policy = line->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        line->setSizePolicy(policy);
    }
    line->setVisible(!reason.isEmpty());
}

QWidget* divider(QWidget* parent)
{
    auto* holder = new QWidget(parent);
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 8, 0, 8);
    auto* line = new ThemedPanel([] { return AppTheme::withOpacity(QColor(Qt::white), 0.1); }, holder);
    line->setFixedHeight(1);
    layout->addWidget(line);
    return holder;
}

}
