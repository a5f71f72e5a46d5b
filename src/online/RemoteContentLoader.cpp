#include "RemoteContentLoader.h"

#include "online/OnlineConfig.h"
#include "online/RemoteFetch.h"

namespace RemoteContentLoader {

void fetchAsync(const QString& name, QObject* context,
                std::function<void(const std::optional<QString>& text)> callback)
{
    const std::optional<QString> address = OnlineConfig::remoteAddress(name);
    if (!address) {
        callback(std::nullopt);
        return;
    }
    RemoteFetch::getText(*address, RemoteFetch::timeouts().contentMs, context, std::move(callback));
}

}
