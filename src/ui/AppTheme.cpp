#include "AppTheme.h"

#include "ui/ThemeObserver.h"

#include <QList>

#include <algorithm>
#include <cmath>

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
QColor textGold() { return pick(colorFromHex(0xE9D38D), colorFromHex(0xAA3F17)); }
// The light gold carries white text and reads as text itself at 4.5:1.
QColor gold() { return pick(colorFromHex(0xE9D38D), colorFromHex(0xA84B1A)); }
QColor menuSelectedBackground() { return gold(); }
QColor background() { return pick(colorFromHex(0x121212), colorFromHex(0xF8F5F0)); }
QColor cardBackground() { return pick(colorFromHex(0x242424), kWhite); }
QColor searchBackground() { return pick(colorFromHex(0x2A2A2A), colorFromHex(0xF0ECE4)); }
QColor onGoldText() { return pick(kBlack, kWhite); }
QColor sidebarBackground() { return pick(colorFromHex(0x1A1A1A), colorFromHex(0xF0ECE4)); }
QColor topBarBackground() { return pick(colorFromHex(0x1E1E1E), colorFromHex(0xFAF8F4)); }
QColor textGoldDim() { return pick(colorFromHex(0xB09472), colorFromHex(0x7A5A2E)); }
QColor dropZoneBorder() { return pick(colorFromHex(0xE9D38D, 0.6), colorFromHex(0xCD5B2B, 0.5)); }
QColor pastDateBackground() { return pick(colorFromHex(0x0D0D0D), colorFromHex(0xEAE5DC)); }
QColor menuTextNormal() { return pick(colorFromHex(0xE9D38D), colorFromHex(0x535353)); }
// One orange cannot read at 4.5:1 on both the dark and the light surfaces.
QColor accentOrange() { return pick(colorFromHex(0xE47A4A), colorFromHex(0xA8461D)); }

double contrast(const QColor& a, const QColor& b)
{
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

namespace {

QColor over(const QColor& top, const QColor& bottom)
{
    const double a = top.alphaF();
    return QColor::fromRgbF(float(top.redF() * a + bottom.redF() * (1 - a)),
                            float(top.greenF() * a + bottom.greenF() * (1 - a)),
                            float(top.blueF() * a + bottom.blueF() * (1 - a)));
}

}

QColor readableText(QColor text, const QColor& behind)
{
    if (text.alphaF() >= 1 || text.alphaF() <= 0)
        return text;
    QList<QColor> surfaces{behind};
    if (!behind.isValid() || behind.alphaF() < 1)
        surfaces = {background(), cardBackground(), searchBackground(), sidebarBackground(), topBarBackground()};
    auto passes = [&surfaces](const QColor& c) {
        return std::all_of(surfaces.cbegin(), surfaces.cend(),
                           [&c](const QColor& s) { return contrast(over(c, s), s) >= 4.9; }); // room for a page a shade off the theme
    };
    while (text.alphaF() < 1 && !passes(text))
        text.setAlphaF(std::min(1.0f, text.alphaF() + 0.02f));
    return text;
}

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
