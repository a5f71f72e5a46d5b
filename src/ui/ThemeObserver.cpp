#include "ThemeObserver.h"

#include "platform/UserDefaults.h"
#include "ui/UiKeys.h"

namespace AppThemeStyles {
QString rawValue(AppThemeStyle style)
{
    return style == AppThemeStyle::dark ? QStringLiteral("dark") : QStringLiteral("light");
}

std::optional<AppThemeStyle> fromRawValue(const QString& raw)
{
    if (raw == QLatin1String("dark"))
        return AppThemeStyle::dark;
    if (raw == QLatin1String("light"))
        return AppThemeStyle::light;
    return std::nullopt;
}
}

ThemeObserver& ThemeObserver::shared()
{
    static ThemeObserver* instance = new ThemeObserver;
    return *instance;
}

ThemeObserver::ThemeObserver()
{
    const QString raw = UserDefaults::standard().string(UiKeys::appThemeStyle).value_or(QString());
    m_style = AppThemeStyles::fromRawValue(raw).value_or(AppThemeStyle::dark);
}

void ThemeObserver::setStyle(AppThemeStyle style)
{
    Q_EMIT styleAboutToChange(style);
    m_style = style;
    UserDefaults::standard().set(UiKeys::appThemeStyle, AppThemeStyles::rawValue(style));
    Q_EMIT styleChanged(style);
}
