#include "OnlineConfig.h"

#include "platform/Paths.h"

#include <QRegularExpression>
#include <QSettings>
#include <QUrl>

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

namespace {
// "scheme://host[:port]", with a path only where `allowPath`; never a
// query, fragment or user name.
std::optional<QUrl> serviceAddress(const QString& address, bool allowPath)
{
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("https") && scheme != QLatin1String("http"))
        || !url.userInfo().isEmpty() || (!allowPath && !url.path().isEmpty() && url.path() != QLatin1String("/"))
        || url.hasQuery() || url.hasFragment())
        return std::nullopt;
    return url;
}
}

std::optional<StatsUpload> statsUpload()
{
    const QString group = QStringLiteral("stats");
    const auto endpoint = setting(kStatsEndpointEnv, group, QStringLiteral("endpoint"));
    const auto id = setting(kStatsSecretIdEnv, group, QStringLiteral("secret_id"));
    const auto key = setting(kStatsSecretKeyEnv, group, QStringLiteral("secret_key"));
    // The host alone is signed: a path would break the signature.
    const std::optional<QUrl> url = endpoint ? serviceAddress(*endpoint, false) : std::nullopt;
    if (!url || !id || !key)
        return std::nullopt;
    return StatsUpload{url->scheme().toLower(), url->authority(QUrl::FullyEncoded), *id, *key};
}

std::optional<FeedbackInbox> feedbackInbox()
{
    const QString group = QStringLiteral("feedback");
    const auto address = setting(kInboxEnv, group, QStringLiteral("inbox"));
    // A service behind a path prefix ("https://host/hooks") is served there.
    const std::optional<QUrl> url = address ? serviceAddress(*address, true) : std::nullopt;
    if (!url)
        return std::nullopt;
    QString path = url->path(QUrl::FullyEncoded);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    FeedbackInbox inbox{url->scheme().toLower() + QStringLiteral("://") + url->authority(QUrl::FullyEncoded) + path, {}};
    for (int i = 0; i < 2; ++i) {
        // A token becomes part of a path: anything but a plain word would change the address.
        static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_-]+$"));
        const auto token = setting(kInboxTokenEnv[i], group, QStringLiteral("token%1").arg(i + 1));
        if (token && plain.match(*token).hasMatch())
            inbox.tokens << *token;
    }
    if (inbox.tokens.isEmpty())
        return std::nullopt;
    return inbox;
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
