#pragma once

#include <QList>
#include <QString>

#include <optional>

enum class AppThemeStyle { dark, light };

namespace AppThemeStyles {
QString rawValue(AppThemeStyle style);
// Exactly "dark" or "light" (case-sensitive); anything else gives no value.
std::optional<AppThemeStyle> fromRawValue(const QString& raw);
inline QList<AppThemeStyle> allCases() { return {AppThemeStyle::dark, AppThemeStyle::light}; }
}
