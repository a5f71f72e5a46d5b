#include "AppTheme.h"

#include "ui/ThemeObserver.h"

QColor colorFromHex(quint32 hex, qreal opacity)
{
    QColor c = QColor::fromRgb((hex >> 16) & 0xFF, (hex >> 8) & 0xFF, hex & 0xFF);
    c.setAlphaF(float(opacity));
    return c;
}

namespace AppTheme {

bool isDark() { return ThemeObserver::shared().style() == AppThemeStyle::dark; }

namespace {
QColor pick(const QColor& dark, const QColor& light) { return isDark() ? dark : light; }
const QColor kWhite = Qt::white;
const QColor kBlack = Qt::black;
}

QColor textPrimary() { return pick(kWhite, colorFromHex(0x2B2B2B)); }
QColor textGold() { return pick(colorFromHex(0xE9D38D), colorFromHex(0xB84A1E)); }
QColor gold() { return pick(colorFromHex(0xE9D38D), colorFromHex(0xC9632F)); }
QColor menuSelectedBackground() { return gold(); }
QColor background() { return pick(colorFromHex(0x121212), colorFromHex(0xF8F5F0)); }
QColor cardBackground() { return pick(colorFromHex(0x242424), kWhite); }
QColor searchBackground() { return pick(colorFromHex(0x2A2A2A), colorFromHex(0xF0ECE4)); }
QColor onGoldText() { return pick(kBlack, kWhite); }
QColor sidebarBackground() { return pick(colorFromHex(0x1A1A1A), colorFromHex(0xF0ECE4)); }
QColor topBarBackground() { return pick(colorFromHex(0x1E1E1E), colorFromHex(0xFAF8F4)); }
QColor textGoldDim() { return pick(colorFromHex(0x8B7355), colorFromHex(0x7A5A2E)); }
QColor dropZoneBorder() { return pick(colorFromHex(0xE9D38D, 0.6), colorFromHex(0xCD5B2B, 0.5)); }
QColor pastDateBackground() { return pick(colorFromHex(0x0D0D0D), colorFromHex(0xEAE5DC)); }
QColor menuTextNormal() { return pick(colorFromHex(0xE9D38D), colorFromHex(0x535353)); }
QColor accentOrange() { return colorFromHex(0xCD5B2B); }

QString menuStyleSheet()
{
    return QStringLiteral("QMenu { background: %1; color: %2; border: 1px solid %3; padding: 4px; }"
                          " QMenu::item { padding: 6px 18px; border-radius: 4px; }"
                          " QMenu::item:selected { background: %4; color: %5; }"
                          " QMenu::item:disabled { color: %6; }")
        .arg(cardBackground().name(), textPrimary().name(), withOpacity(textPrimary(), 0.15).name(QColor::HexArgb),
             gold().name(), onGoldText().name(), withOpacity(textPrimary(), 0.4).name(QColor::HexArgb));
}

QColor withOpacity(QColor c, qreal opacity)
{
    c.setAlphaF(float(c.alphaF() * opacity));
    return c;
}

}
