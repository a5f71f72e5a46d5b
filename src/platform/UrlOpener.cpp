#include "UrlOpener.h"

#include <QDesktopServices>

namespace UrlOpener {

namespace {
Handler& installed()
{
    static Handler handler;
    return handler;
}
}

void open(const QUrl& url)
{
    if (const Handler& handler = installed())
        handler(url);
    else
        QDesktopServices::openUrl(url);
}

std::optional<QUrl> webAddress(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
        return std::nullopt;
    return url;
}

Handler setHandler(Handler handler)
{
    Handler previous = std::move(installed());
    installed() = std::move(handler);
    return previous;
}

}
