#pragma once

#include "online/OnlineConfig.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMutex>
#include <QObject>

#include <functional>
#include <optional>

class UserDefaults;

// A developer reply to this device as an inbox lists it.
struct FeedbackReply {
    std::optional<QString> text; // none when the reply carries no text
    QString time;                // as received, empty when missing
};

// The process-wide client of the feedback inboxes: posts the user's messages
// to the first inbox that takes them, watches both for replies to this
// device (raising "hasNewReply") and reads the thread file. Without inbox
// settings nothing is requested and every send fails.
class FeedbackManager : public QObject
{
    Q_OBJECT
public:
    using Settings = std::function<std::optional<OnlineConfig::FeedbackInbox>()>;
    using Address = std::function<std::optional<QString>()>;
    using Clock = std::function<QDateTime()>;

    // A list or thread file past this is refused, and so is a message that
    // would post more than `kMaxMessageBytes`.
    static constexpr qint64 kMaxListBytes = 4 * 1024 * 1024;
    static constexpr qint64 kMaxMessageBytes = 64 * 1024;

    // `threadFile` gives the address of "feedback.json".
    FeedbackManager(UserDefaults& defaults, Settings inbox, Address threadFile, Clock clock, QObject* parent = nullptr);
    static FeedbackManager& shared();

    bool isConfigured() const { return m_inbox().has_value(); }
    QStringList inboxPostURLs() const;
    QStringList inboxReadURLs() const;

    // The stored id (also an empty one), else a new one, stored. Any thread.
    QString getDeviceId();

    // Posts `text`, failing over inbox by inbox. `completion` runs once on
    // the main thread with whether an inbox took it, unless `context` went.
    // The post itself goes on without the context.
    void sendFeedback(const QString& text, QObject* context, std::function<void(bool ok)> completion);
    // Reads every inbox; a reply not seen before raises "hasNewReply".
    // Skipped while the previous check still waits.
    void checkNewReplies();
    bool isChecking() const { return m_checking; }
    // Reads every inbox at once and hands over the replies to this device,
    // in the order the reads finished, when all have answered.
    void fetchReplies(QObject* context, std::function<void(const QList<FeedbackReply>& replies)> completion);
    // The thread file's top-level object; empty on any failure.
    void fetchAllFeedback(QObject* context, std::function<void(const QJsonObject& thread)> completion);
    // Stores the time of the author's last message in the thread file.
    void markReplyAsRead();

    QByteArray postBody(const QString& text);
    static QList<FeedbackReply> repliesIn(const QByteArray& list, const QString& deviceId);
    // "seen_reply_" + the first 20 user-perceived characters of `text`.
    static QString seenReplyKey(const QString& text);

private:
    void trySend(QByteArray body, int index, std::function<void(bool)> done);
    void readInboxes(QObject* context, std::function<void(const QList<FeedbackReply>&)> completion);

    UserDefaults& m_defaults;
    Settings m_inbox;
    Address m_threadFile;
    Clock m_clock;
    QMutex m_idLock;
    bool m_checking = false;
};
