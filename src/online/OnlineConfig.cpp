#include "OnlineConfig.h"

#include "platform/Paths.h"

#include <QSettings>

namespace OnlineConfig {

QString filePath() { return Paths::configDir() + QLatin1Char('/') + QLatin1String(kFileName); }

std::optional<QString> setting(const char* envName, const QString& group, const QString& key)
{
    QString value = qEnvironmentVariable(envName).trimmed();
    if (value.isEmpty()) {
        QSettings file(filePath(), QSettings::IniFormat);
        file.beginGroup(group);
        value = file.value(key).toString().trimmed();
    }
    if (value.isEmpty())
        return std::nullopt;
    return value;
}

std::optional<QString> remoteBase()
{
    std::optional<QString> base = setting(kRemoteBaseEnv, QStringLiteral("remote"), QStringLiteral("base"));
    if (base && !base->endsWith(QLatin1Char('/')))
        base->append(QLatin1Char('/'));
    return base;
}

std::optional<QString> remoteAddress(const QString& name)
{
    if (const auto base = remoteBase())
        return *base + name;
    return std::nullopt;
}

}
