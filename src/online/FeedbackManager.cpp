#include "FeedbackManager.h"

#include "online/OnlineKeys.h"
#include "online/RemoteFetch.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTextBoundaryFinder>
#include <QUuid>

namespace {
// Calls back on the main thread after the caller has returned, unless the
// caller's context is gone by then.
void later(QObject* context, std::function<void()> call)
{
    QPointer<QObject> guard(context);
    const bool hasContext = context != nullptr;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [guard, hasContext, call = std::move(call)] {
            if (!hasContext || guard)
                call();
        },
        Qt::QueuedConnection);
}

RemoteFetch::Request read(const QString& address)
{
    RemoteFetch::Request request;
    request.address = address;
    request.timeoutMs = RemoteFetch::timeouts().standardMs;
    request.maxBytes = FeedbackManager::kMaxListBytes;
    return request;
}
}

FeedbackManager::FeedbackManager(UserDefaults& defaults, Settings inbox, Address threadFile, Clock clock,
                                 QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_inbox(std::move(inbox))
    , m_threadFile(std::move(threadFile))
    , m_clock(std::move(clock))
{
}

FeedbackManager& FeedbackManager::shared()
{
    static FeedbackManager* instance = [] {
        auto* manager = new FeedbackManager(
            UserDefaults::standard(), &OnlineConfig::feedbackInbox,
            [] { return OnlineConfig::remoteAddress(QStringLiteral("feedback.json")); }, &QDateTime::currentDateTimeUtc);
        if (QCoreApplication* app = QCoreApplication::instance())
            manager->moveToThread(app->thread());
        return manager;
    }();
    return *instance;
}

QStringList FeedbackManager::inboxPostURLs() const
{
    QStringList urls;
    if (const auto inbox = m_inbox())
        for (const QString& token : inbox->tokens)
            urls << inbox->base + QLatin1Char('/') + token;
    return urls;
}

QStringList FeedbackManager::inboxReadURLs() const
{
    QStringList urls;
    if (const auto inbox = m_inbox())
        for (const QString& token : inbox->tokens)
            urls << inbox->base + QStringLiteral("/token/") + token + QStringLiteral("/requests?per_page=100");
    return urls;
}

QString FeedbackManager::getDeviceId()
{
    QMutexLocker lock(&m_idLock);
    if (const std::optional<QString> stored = m_defaults.string(OnlineKeys::feedbackDeviceId))
        return *stored;
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    m_defaults.set(OnlineKeys::feedbackDeviceId, id);
    return id;
}

QByteArray FeedbackManager::postBody(const QString& text)
{
    const QJsonObject message{{QStringLiteral("deviceId"), getDeviceId()},
                              {QStringLiteral("text"), text},
                              {QStringLiteral("time"), m_clock().toUTC().toString(Qt::ISODate)}};
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

void FeedbackManager::sendFeedback(const QString& text, QObject* context, std::function<void(bool)> completion)
{
    QPointer<QObject> guard(context);
    const bool hasContext = context != nullptr;
    auto done = [guard, hasContext, completion = std::move(completion)](bool ok) {
        if (!hasContext || guard)
            completion(ok);
    };
    const QByteArray body = postBody(text);
    if (body.size() > kMaxMessageBytes) {
        later(nullptr, [done] { done(false); });
        return;
    }
    trySend(body, 0, std::move(done));
}

void FeedbackManager::trySend(QByteArray body, int index, std::function<void(bool)> done)
{
    const QStringList urls = inboxPostURLs();
    if (index >= urls.size()) {
        later(nullptr, [done] { done(false); });
        return;
    }
    RemoteFetch::Request request;
    request.address = urls[index];
    request.method = "POST";
    request.body = body;
    request.timeoutMs = RemoteFetch::timeouts().standardMs;
    request.headers = {{"Content-Type", "application/json"}};
    RemoteFetch::send(request, this, [this, body, index, done](const RemoteFetch::Reply& reply) {
        if (reply.ok)
            done(true);
        else
            trySend(body, index + 1, done);
    });
}

QList<FeedbackReply> FeedbackManager::repliesIn(const QByteArray& list, const QString& deviceId)
{
    QList<FeedbackReply> replies;
    const QJsonValue data = QJsonDocument::fromJson(list).object().value(QStringLiteral("data"));
    if (!data.isArray())
        return replies;
    for (const QJsonValue& element : data.toArray()) {
        const QJsonValue content = element.toObject().value(QStringLiteral("content"));
        if (!content.isString())
            continue;
        QJsonParseError error;
        const QJsonDocument body = QJsonDocument::fromJson(content.toString().toUtf8(), &error);
        const QJsonObject reply = body.object();
        if (error.error != QJsonParseError::NoError || !body.isObject()
            || reply.value(QStringLiteral("deviceId")) != QJsonValue(deviceId)
            || reply.value(QStringLiteral("isReply")) != QJsonValue(true))
            continue;
        const QJsonValue text = reply.value(QStringLiteral("text"));
        replies.append({text.isString() ? std::optional<QString>(text.toString()) : std::nullopt,
                        reply.value(QStringLiteral("time")).toString()});
    }
    return replies;
}

QString FeedbackManager::seenReplyKey(const QString& text)
{
    // Counted in user-perceived characters, so an emoji is never cut in two.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    int taken = 0;
    qsizetype end = 0;
    while (taken < 20 && (end = graphemes.toNextBoundary()) > 0)
        ++taken;
    return QLatin1String(OnlineKeys::kSeenReplyPrefix) + (taken < 20 ? text : text.left(end));
}

void FeedbackManager::checkNewReplies()
{
    if (m_checking || !isConfigured())
        return;
    m_checking = true;
    readInboxes(this, [this](const QList<FeedbackReply>& replies) {
        m_checking = false;
        for (const FeedbackReply& reply : replies) {
            const QString key = seenReplyKey(reply.text.value_or(QString()));
            if (!m_defaults.boolean(key)) {
                m_defaults.set(key, true);
                m_defaults.set(OnlineKeys::hasNewReply, true);
            }
        }
    });
}

void FeedbackManager::fetchReplies(QObject* context, std::function<void(const QList<FeedbackReply>&)> completion)
{
    readInboxes(context, std::move(completion));
}

void FeedbackManager::readInboxes(QObject* context, std::function<void(const QList<FeedbackReply>&)> completion)
{
    const QStringList urls = inboxReadURLs();
    if (urls.isEmpty()) {
        later(context, [completion] { completion({}); });
        return;
    }
    struct Collected {
        qsizetype left;
        QList<FeedbackReply> replies;
    };
    auto collected = std::make_shared<Collected>(Collected{urls.size(), {}});
    const QString deviceId = getDeviceId();
    for (const QString& url : urls) {
        RemoteFetch::send(read(url), context, [collected, deviceId, completion](const RemoteFetch::Reply& reply) {
            if (reply.ok)
                collected->replies += repliesIn(reply.body, deviceId);
            if (--collected->left == 0)
                completion(collected->replies);
        });
    }
}

void FeedbackManager::fetchAllFeedback(QObject* context, std::function<void(const QJsonObject&)> completion)
{
    const std::optional<QString> address = m_threadFile();
    if (!address) {
        later(context, [completion] { completion({}); });
        return;
    }
    RemoteFetch::send(read(*address), context, [completion](const RemoteFetch::Reply& reply) {
        completion(reply.ok ? QJsonDocument::fromJson(reply.body).object() : QJsonObject());
    });
}

void FeedbackManager::markReplyAsRead()
{
    const QString deviceId = getDeviceId();
    fetchAllFeedback(this, [this, deviceId](const QJsonObject& thread) {
        const QJsonArray messages = thread.value(deviceId).toObject().value(QStringLiteral("messages")).toArray();
        if (messages.isEmpty() || !messages.last().isObject())
            return;
        const QJsonObject last = messages.last().toObject();
        const QJsonValue time = last.value(QStringLiteral("time"));
        if (last.value(QStringLiteral("isUser")) == QJsonValue(false) && time.isString())
            m_defaults.set(OnlineKeys::feedbackLastReadReply, time.toString());
    });
}
