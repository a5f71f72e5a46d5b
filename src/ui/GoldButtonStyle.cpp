#include "GoldButtonStyle.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"

#include <QAbstractButton>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

GoldButtonStyle::GoldButtonStyle(bool enabled)
    : m_enabled(enabled)
{
}

GoldButtonStyle::Face GoldButtonStyle::face(bool enabled, bool pressed)
{
    Face f;
    f.opacity = pressed ? 0.6 : 1.0;
    if (!enabled) {
        f.text = AppTheme::withOpacity(AppTheme::textPrimary(), 0.25);
        f.outline = QColor(255, 255, 255, qRound(255 * 0.15));
        f.fill = QColor(255, 255, 255, qRound(255 * 0.04));
    } else if (AppTheme::isDark()) {
        f.text = AppTheme::textGold();
        f.outline = AppTheme::withOpacity(AppTheme::textGold(), 0.7);
        f.fill = AppTheme::withOpacity(AppTheme::textGold(), 0.12);
    } else {
        f.text = Qt::white;
        f.outline = Qt::transparent;
        f.fill = AppTheme::menuSelectedBackground();
    }
    return f;
}

void GoldButtonStyle::setEnabledLook(bool enabled)
{
    m_enabled = enabled;
    if (auto* w = qobject_cast<QWidget*>(parent()))
        w->update();
}

GoldButtonStyle* GoldButtonStyle::apply(QAbstractButton* button, bool enabled)
{
    auto* style = new GoldButtonStyle(enabled);
    style->setParent(button);
    button->setStyle(style);
    button->setFont(Fonts::system(13, QFont::Medium));
    button->setCursor(Qt::PointingHandCursor);
    button->setAttribute(Qt::WA_TranslucentBackground);
    QObject::connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, button,
                     [button] { button->update(); });
    button->updateGeometry();
    return style;
}

void GoldButtonStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                     const QWidget* widget) const
{
    if (element != CE_PushButton)
        return QProxyStyle::drawControl(element, option, painter, widget);
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (!button)
        return;
    const Face f = face(m_enabled, button->state & State_Sunken);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setOpacity(painter->opacity() * f.opacity);
    QPainterPath plate;
    plate.addRoundedRect(QRectF(button->rect).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius, kCornerRadius);
    painter->fillPath(plate, f.fill);
    painter->setPen(QPen(f.outline, 1.0));
    painter->drawPath(plate);
    painter->setPen(f.text);
    painter->setFont(widget ? widget->font() : Fonts::system(13, QFont::Medium));
    painter->drawText(button->rect, Qt::AlignCenter | Qt::TextShowMnemonic, button->text);
    painter->restore();
}

QSize GoldButtonStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                           const QSize& contentsSize, const QWidget* widget) const
{
    if (type != CT_PushButton)
        return QProxyStyle::sizeFromContents(type, option, contentsSize, widget);
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    const QFontMetrics fm(widget ? widget->font() : Fonts::system(13, QFont::Medium));
    const QString text = button ? button->text : QString();
    return {fm.horizontalAdvance(text) + 2 * kHorizontalPadding, fm.height() + 2 * kVerticalPadding};
}
