#include "SystemColors.h"

#include "ui/AppTheme.h"

#include <QHash>

namespace SystemColors {

namespace {
// Each theme's variants read at 4.5:1 on every surface of that theme, as
// text and under white or dark text alike.
const QHash<QString, quint32>& table()
{
    static const QHash<QString, quint32> dark{
        {"red", 0xFF6961},    {"orange", 0xFF9500}, {"yellow", 0xFFCC00}, {"green", 0x34C759},
        {"mint", 0x00C7BE},   {"teal", 0x30B0C7},   {"cyan", 0x32ADE6},   {"blue", 0x409CFF},
        {"indigo", 0x8E8BFF}, {"purple", 0xDA8FFF}, {"pink", 0xFF6482},   {"brown", 0xB59469},
        {"gray", 0x98989D},
    };
    static const QHash<QString, quint32> light{
        {"red", 0xC4000F},    {"orange", 0xA04E00}, {"yellow", 0x7A5D00}, {"green", 0x1E7B34},
        {"mint", 0x0A7570},   {"teal", 0x006D80},   {"cyan", 0x0071A4},   {"blue", 0x0040DD},
        {"indigo", 0x3634A3}, {"purple", 0x8944AB}, {"pink", 0xC20E40},   {"brown", 0x7F6545},
        {"gray", 0x66666A},
    };
    return AppTheme::isDark() ? dark : light;
}
}

QColor named(const QString& name) { return colorFromHex(table().value(name, table().value("gray"))); }
QColor red() { return named("red"); }
QColor orange() { return named("orange"); }
QColor yellow() { return named("yellow"); }
QColor green() { return named("green"); }
QColor mint() { return named("mint"); }
QColor teal() { return named("teal"); }
QColor cyan() { return named("cyan"); }
QColor blue() { return named("blue"); }
QColor indigo() { return named("indigo"); }
QColor purple() { return named("purple"); }
QColor pink() { return named("pink"); }
QColor brown() { return named("brown"); }
QColor gray() { return named("gray"); }

}
