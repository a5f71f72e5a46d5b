#include "SystemColors.h"

#include "ui/AppTheme.h"

#include <QHash>

namespace SystemColors {

namespace {
const QHash<QString, quint32>& table()
{
    static const QHash<QString, quint32> t{
        {"red", 0xFF3B30},    {"orange", 0xFF9500}, {"yellow", 0xFFCC00}, {"green", 0x34C759},
        {"mint", 0x00C7BE},   {"teal", 0x30B0C7},   {"cyan", 0x32ADE6},   {"blue", 0x007AFF},
        {"indigo", 0x5856D6}, {"purple", 0xAF52DE}, {"pink", 0xFF2D55},   {"brown", 0xA2845E},
        {"gray", 0x8E8E93},
    };
    return t;
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
