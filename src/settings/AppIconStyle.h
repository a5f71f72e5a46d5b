#pragma once

#include <QList>
#include <QString>

#include <optional>

// The application icon styles, stored by raw value under "appIconStyle".
enum class AppIconStyle { classic, cameraOrange, cameraGold };

namespace AppIconStyles {
QString rawValue(AppIconStyle style);
// Exactly one of the three raw values (case-sensitive); else no value.
std::optional<AppIconStyle> fromRawValue(const QString& raw);
QString displayName(AppIconStyle style);
inline QList<AppIconStyle> allCases()
{
    return {AppIconStyle::classic, AppIconStyle::cameraOrange, AppIconStyle::cameraGold};
}
}
