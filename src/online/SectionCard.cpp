#include "SectionCard.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedPanel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

SectionCard::SectionCard(const QString& title, const QString& icon, ColorFn iconColor, QWidget* parent)
    : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    m_icon = new ThemedLabel(QString(), Symbols::font(14), {}, this);
    auto* titleLabel = new ThemedLabel(title, Fonts::system(14, QFont::Bold), &AppTheme::textGold, this);
    titleLabel->setObjectName(QStringLiteral("cardTitle"));
    titleRow->addWidget(m_icon);
    titleRow->addWidget(titleLabel);
    titleRow->addStretch(1);
    column->addLayout(titleRow);

    auto* panel = new ThemedPanel(&AppTheme::cardBackground, this);
    panel->setCornerRadius(10);
    m_body = new QVBoxLayout(panel);
    m_body->setContentsMargins(16, 16, 16, 16);
    m_body->setSpacing(12);
    column->addWidget(panel);
    setIcon(icon, std::move(iconColor));
}

void SectionCard::setIcon(const QString& icon, ColorFn iconColor)
{
    m_iconName = icon;
    m_icon->setText(Symbols::glyph(icon));
    m_icon->setColorFunction(std::move(iconColor));
}

QColor SectionCard::iconColor() const { return m_icon->currentColor(); }
