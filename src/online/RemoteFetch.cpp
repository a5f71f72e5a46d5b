#include "RemoteFetch.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>
#include <QUrl>

namespace {

RemoteFetch::Timeouts& currentTimeouts()
{
    static RemoteFetch::Timeouts t;
    return t;
}

QNetworkAccessManager& manager()
{
    static QPointer<QNetworkAccessManager> instance;
    if (!instance) {
        instance = new QNetworkAccessManager(QCoreApplication::instance());
        instance->setCache(nullptr);
    }
    return *instance;
}

// What one request carries until its single callback.
struct Pending {
    RemoteFetch::ReplyCallback callback;
    bool hasContext = false;
    QPointer<QObject> context;
    bool contextGone = false;
    bool done = false;
    QByteArray body;

    void finish(const RemoteFetch::Reply& reply)
    {
        if (done)
            return;
        done = true;
        if (hasContext && (contextGone || !context))
            return;
        callback(reply);
    }
};

void start(const RemoteFetch::Request& request, QObject* context, RemoteFetch::ReplyCallback callback)
{
    auto pending = std::make_shared<Pending>();
    pending->callback = std::move(callback);
    pending->hasContext = context != nullptr;
    pending->context = context;

    const QUrl url(request.address, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative()) {
        pending->finish({});
        return;
    }
    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    for (const auto& [name, value] : request.headers)
        req.setRawHeader(name, value);
    QNetworkReply* reply = manager().sendCustomRequest(req, request.method, request.body);

    // An over-long body is cut off as soon as it shows, not read to the end.
    const qint64 maxBytes = request.maxBytes;
    auto overLimit = [pending, reply, maxBytes] {
        if (!reply->isOpen())
            return;
        pending->body.append(reply->readAll());
        if (pending->body.size() > maxBytes) {
            pending->finish({});
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, reply, overLimit);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [pending, reply, maxBytes] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxBytes) {
            pending->finish({});
            reply->abort();
        }
    });
    // The time-out bounds the whole exchange, also a server that trickles.
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, [pending, reply] {
        pending->finish({});
        reply->abort();
    });
    deadline->start(std::max(0, request.timeoutMs));
    if (context) {
        QObject::connect(context, &QObject::destroyed, reply, [pending, reply] {
            pending->contextGone = true;
            reply->abort();
        });
    }
    QObject::connect(reply, &QNetworkReply::finished, reply, [pending, reply, overLimit] {
        reply->deleteLater();
        if (pending->done)
            return;
        overLimit();
        RemoteFetch::Reply result;
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.ok = reply->error() == QNetworkReply::NoError && result.status >= 200 && result.status <= 299;
        if (result.ok)
            result.body = pending->body;
        pending->finish(result);
    });
}

}

RemoteFetch::Timeouts RemoteFetch::timeouts() { return currentTimeouts(); }

RemoteFetch::Timeouts RemoteFetch::setTimeouts(Timeouts timeouts)
{
    const Timeouts previous = currentTimeouts();
    currentTimeouts() = timeouts;
    return previous;
}

void RemoteFetch::send(const Request& request, QObject* context, ReplyCallback callback)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        // The network manager lives on the main thread; requests from
        // background work hop there.
        QPointer<QObject> guard(context);
        const bool hasContext = context != nullptr;
        QMetaObject::invokeMethod(app, [request, guard, hasContext, callback = std::move(callback)] {
            if (hasContext && !guard)
                return;
            start(request, guard.data(), callback);
        });
        return;
    }
    start(request, context, std::move(callback));
}

void RemoteFetch::getText(const QString& address, int timeoutMs, QObject* context, TextCallback callback)
{
    Request request;
    request.address = address;
    request.timeoutMs = timeoutMs;
    send(request, context, [callback = std::move(callback)](const Reply& reply) {
        callback(reply.ok ? decodeUtf8(reply.body) : std::nullopt);
    });
}

std::optional<QString> RemoteFetch::decodeUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}
