#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <optional>

class QObject;

// The one HTTP routine of the online services, on a main-thread network
// manager without any disk cache. A reply counts only with a status from 200
// to 299, a body of at most the request's `maxBytes` and, for text, valid UTF-8;
// anything else (no connection, time-out, an error page) is a failure and
// yields nothing, so callers keep what they have.
class RemoteFetch
{
public:
    struct Timeouts {
        int contentMs = 3000;      // the popups' small text files
        int updateCheckMs = 10000; // the version check
        int standardMs = 60000;    // everything else
        int uploadMs = 8000;       // one usage upload
    };
    static Timeouts timeouts();
    // Tests shorten them; returns the previous values.
    static Timeouts setTimeouts(Timeouts timeouts);

    static constexpr qint64 kMaxBodyBytes = 1024 * 1024;

    struct Request {
        QString address;
        int timeoutMs = 0;
        QByteArray method = "GET";
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        qint64 maxBytes = kMaxBodyBytes;
    };
    struct Reply {
        bool ok = false;     // a 2xx status with a body within the limit
        int status = 0;      // 0 without a response
        QByteArray body;
    };
    using ReplyCallback = std::function<void(const Reply& reply)>;
    using TextCallback = std::function<void(const std::optional<QString>& text)>;

    // Sends `request` and calls back on the main thread once. With a
    // `context`, the request is aborted and the callback dropped when the
    // context goes. An address that does not parse sends nothing and calls
    // back at once with a failure.
    static void send(const Request& request, QObject* context, ReplyCallback callback);
    // GET `address` as text.
    static void getText(const QString& address, int timeoutMs, QObject* context, TextCallback callback);

    // Strict UTF-8: nothing when a byte sequence is invalid.
    static std::optional<QString> decodeUtf8(const QByteArray& bytes);
};
