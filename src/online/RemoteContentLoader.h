#pragma once

#include <QString>

#include <functional>
#include <optional>

class QObject;

// The popups' small text files on the remote endpoint.
namespace RemoteContentLoader {
// Fetches base + `name` (3 s time-out, never cached) and calls back on the
// main thread with its text, or nothing on any failure and at once when no
// endpoint is configured. The callback is dropped when `context` goes.
void fetchAsync(const QString& name, QObject* context,
                std::function<void(const std::optional<QString>& text)> callback);
}
