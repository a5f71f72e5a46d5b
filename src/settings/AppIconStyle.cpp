#include "AppIconStyle.h"

namespace AppIconStyles {

QString rawValue(AppIconStyle style)
{
    switch (style) {
    case AppIconStyle::classic: return QStringLiteral("classic");
    case AppIconStyle::cameraOrange: return QStringLiteral("cameraOrange");
    case AppIconStyle::cameraGold: return QStringLiteral("cameraGold");
    }
    return QStringLiteral("classic");
}

std::optional<AppIconStyle> fromRawValue(const QString& raw)
{
    for (AppIconStyle s : allCases()) {
        if (rawValue(s) == raw)
            return s;
    }
    return std::nullopt;
}

QString displayName(AppIconStyle style)
{
    switch (style) {
    case AppIconStyle::classic: return QStringLiteral("经典相机");
    case AppIconStyle::cameraOrange: return QStringLiteral("橘色相机");
    case AppIconStyle::cameraGold: return QStringLiteral("金色相机");
    }
    return {};
}

}
