#include "StatCard.h"

#include "ui/AppTheme.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "ui/ThemedLabel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

StatCard::StatCard(const QString& title, const QString& symbol, std::function<QColor()> color,
                   const QString& subtitle, QWidget* parent)
    : RoundedPanel(&AppTheme::cardBackground, 10, parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(6);
    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    auto* icon = new ThemedLabel(Symbols::glyph(symbol), Symbols::font(12), std::move(color), this);
    top->addWidget(icon);
    m_title = new ThemedLabel(title, Fonts::system(10),
                              [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.5); }, this);
    auto* titleRun = new QHBoxLayout;
    titleRun->setSpacing(0);
    titleRun->addWidget(m_title);
    if (!subtitle.isEmpty()) {
        // A narrow card shortens the explanation with "…" rather than cutting it.
        m_subtitle = new ElidedLabel(Fonts::system(10), [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); },
                                     this);
        m_subtitle->setElideMode(Qt::ElideRight);
        m_subtitle->setText(QStringLiteral("（") + subtitle + QStringLiteral("）"));
        titleRun->addWidget(m_subtitle, 1);
    }
    top->addLayout(titleRun);
    top->addStretch(1);
    column->addLayout(top);
    m_value = new ThemedLabel(QString(), Fonts::system(18, QFont::Bold), &AppTheme::textGold, this);
    m_value->setObjectName(QStringLiteral("statValue"));
    column->addWidget(m_value);
    // Grid columns share the width equally, however long a title runs.
    setMinimumWidth(10);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void StatCard::setValue(const QString& value)
{
    m_value->setText(value);
}

QString StatCard::value() const
{
    return m_value->text();
}

QString StatCard::titleText() const
{
    return m_title->text() + (m_subtitle ? m_subtitle->text() : QString());
}
