#include "UpdateChecker.h"

#include "online/OnlineConfig.h"
#include "online/RemoteFetch.h"
#include "online/SoftwareUpdatePrefs.h"
#include "online/VersionFile.h"
#include "platform/UrlOpener.h"


UpdateChecker::UpdateChecker(const QString& localVersionText, QObject* parent)
    : QObject(parent)
    , m_localVersion(localVersionText.startsWith(QLatin1Char('V')) ? localVersionText.mid(1) : localVersionText)
{
}

bool UpdateChecker::isActive() { return OnlineConfig::remoteBase().has_value(); }

void UpdateChecker::checkForUpdate()
{
    if (m_checking)
        return;
    const std::optional<QString> address = OnlineConfig::remoteAddress(QStringLiteral("version.txt"));
    if (!address)
        return;
    m_checking = true;
    Q_EMIT isCheckingChanged(true);
    m_result.reset();
    Q_EMIT updateResultChanged(m_result);

    if (!QUrl(*address, QUrl::StrictMode).isValid()) {
        finish(UpdateResult::failed(QStringLiteral("版本地址无效")));
        return;
    }
    RemoteFetch::getText(*address, RemoteFetch::timeouts().updateCheckMs, this,
                         [this](const std::optional<QString>& text) {
                             // A page that is no version file proves no check happened.
                             const bool counts = !text || VersionFile::isVersionFile(*text);
                             finish(text ? VersionFile::evaluate(*text, m_localVersion)
                                         : UpdateResult::failed(QStringLiteral("检查更新失败，请检查网络连接")),
                                    counts);
                         });
}

void UpdateChecker::finish(const UpdateResult& result, bool recordTime)
{
    m_checking = false;
    Q_EMIT isCheckingChanged(false);
    // Every finished check counts, whether or not a screen is showing it.
    if (recordTime)
        SoftwareUpdatePrefs::recordCheckTime();
    m_result = result;
    Q_EMIT updateResultChanged(m_result);
}

void UpdateChecker::openDownloadUrl(const QString& text)
{
    if (const std::optional<QUrl> url = UrlOpener::webAddress(text))
        UrlOpener::open(*url);
}

int UpdateChecker::compareVersions(const QString& a, const QString& b) { return VersionFile::compareVersions(a, b); }
