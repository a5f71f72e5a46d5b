#pragma once

#include <QUrl>

#include <functional>

// Opens an address in the user's default browser. Tests install a handler
// that records the call, so no test ever starts a browser.
namespace UrlOpener {
using Handler = std::function<void(const QUrl& url)>;

void open(const QUrl& url);
// Installs `handler` (an empty one restores the desktop's opener) and returns
// the previous one. Main thread only.
Handler setHandler(Handler handler);
}
