#include "SheetDialog.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QPainter>
#include <QVBoxLayout>

SheetDialog::SheetDialog(const QString& title, QWidget* parent, ColorFn background, int width, int padding,
                         int spacing)
    : QDialog(parent)
    , m_background(std::move(background))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(title);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(spacing);
    column->setSizeConstraint(QLayout::SetFixedSize);
    m_title = new ThemedLabel(title, Fonts::system(16, QFont::Bold), &AppTheme::textGold, this);
    m_title->setObjectName(QStringLiteral("sheetTitle"));
    column->addWidget(m_title, 0, Qt::AlignHCenter);
    m_body = column;
    if (width > 0) {
        // The width is the sheet's, the height follows the content.
        auto* strut = new QWidget(this);
        strut->setFixedSize(width - 2 * padding, 0);
        column->addWidget(strut);
    }
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void SheetDialog::setTitle(const QString& title)
{
    m_title->setText(title);
    setWindowTitle(title);
}

PlateButton* SheetDialog::cancelButton(const QString& text, QWidget* parent)
{
    PlateButton::Look look;
    look.fill = &AppTheme::searchBackground;
    look.text = [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.6); };
    look.font = Fonts::system(13);
    return new PlateButton(text, look, parent);
}

PlateButton* SheetDialog::confirmButton(const QString& text, QWidget* parent)
{
    PlateButton::Look look;
    look.fill = &AppTheme::gold;
    look.text = &AppTheme::background;
    look.font = Fonts::system(13, QFont::Medium);
    return new PlateButton(text, look, parent);
}

void SheetDialog::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), m_background());
}
