#pragma once

#include <QUrl>

#include <functional>
#include <optional>

// Opens an address in the user's default browser. Tests install a handler
// that records the call, so no test ever starts a browser.
namespace UrlOpener {
using Handler = std::function<void(const QUrl& url)>;

void open(const QUrl& url);
// `text` as an http or https address with a host; nothing for any other text.
std::optional<QUrl> webAddress(const QString& text);
// Installs `handler` (an empty one restores the desktop's opener) and returns
// the previous one. Main thread only.
Handler setHandler(Handler handler);
}
