#pragma once

#include <QList>
#include <QString>

#include <optional>

enum class AppThemeStyle { dark, light };

namespace AppThemeStyles {
QString rawValue(AppThemeStyle style);
// Exactly "dark" or "light" (case-sensitive); anything else gives no value.
std::optional<AppThemeStyle> fromRawValue(const QString& raw);
// The shown name: "深色" or "浅色".
inline QString displayName(AppThemeStyle style)
{
    return style == AppThemeStyle::dark ? QStringLiteral("深色") : QStringLiteral("浅色");
}
inline QList<AppThemeStyle> allCases() { return {AppThemeStyle::dark, AppThemeStyle::light}; }
}
