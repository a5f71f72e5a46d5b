#include "RemoteConfig.h"

#include "online/OnlineConfig.h"
#include "online/OnlineKeys.h"
#include "online/RemoteFetch.h"
#include "online/TextLines.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"

RemoteFeatureSwitches RemoteFeatureSwitches::parse(const QString& text)
{
    RemoteFeatureSwitches result;
    for (const QString& line : TextLines::split(text)) {
        const QStringList fields = line.split(QLatin1Char('|'));
        if (fields.size() < 2)
            continue;
        const QString name = fields[0].trimmed();
        if (fields[1].trimmed().toLower() == QLatin1String("off"))
            result.hidden.append(name);
        if (fields.size() >= 3)
            result.descriptions.insert(name, fields[2].trimmed());
    }
    return result;
}

void loadRemoteConfig()
{
    const std::optional<QString> address = OnlineConfig::remoteAddress(QStringLiteral("features.txt"));
    if (!address) {
        static bool logged = false;
        if (!logged)
            Log::line(QStringLiteral("ℹ️ [在线服务] 未配置远程地址，版本检查与远程内容已停用"));
        logged = true;
        return;
    }
    RemoteFetch::getText(*address, RemoteFetch::timeouts().standardMs, nullptr, [](const std::optional<QString>& text) {
        if (!text)
            return;
        const RemoteFeatureSwitches switches = RemoteFeatureSwitches::parse(*text);
        UserDefaults& defaults = UserDefaults::standard();
        defaults.set(OnlineKeys::remoteHiddenFeatures, QVariant(QVariantList(switches.hidden.begin(), switches.hidden.end())));
        defaults.set(OnlineKeys::remoteFeatureDescs, switches.descriptions);
    });
}
