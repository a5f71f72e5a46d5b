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

Handler setHandler(Handler handler)
{
    Handler previous = std::move(installed());
    installed() = std::move(handler);
    return previous;
}

}
