#pragma once

#include <QDateTime>
#include <QObject>
#include <QThreadPool>
#include <QUuid>

#include <functional>

class FeedbackManager;
class QTimer;
class QVariantAnimation;
class UserDefaults;
struct FeedbackReply;

// One message of the feedback chat. The id lives only as long as the open
// chat; it is never stored.
struct FeedbackMessage {
    QUuid id;
    bool isUser = false;
    QString text;
    QString time; // display text, empty for the greeting and the notices
    // A message of the user's that no inbox took: stored with it, and shown
    // with the failure notice after it whenever the chat is opened again.
    bool sendFailed = false;

    // Drawn small and faded.
    bool isNotice() const;
    // Carries a "撤回" button.
    bool isWithdrawable() const;
};

// The conversation of the open feedback chat behind its screen: the stored
// list, sending with its progress and notice, the 5-second reply fetch and
// the merge of replies. Every timer, delayed step and network answer belongs
// to the model and ends with it; only a notice still pending is lost.
class FeedbackChatModel : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    struct Timing {
        int pollMs = 5000;
        int sweepMs = 2000;       // progress from 0 to 1, then back to 0
        int noticeDelayMs = 2000; // from the send's result to its notice
        int scrollDelayMs = 300;  // from the notice to the scroll to the end
    };

    static QString greeting();
    static QString successNotice();
    static QString failureNotice();

    FeedbackChatModel(FeedbackManager& manager, UserDefaults& defaults, Clock clock, QObject* parent = nullptr);
    ~FeedbackChatModel() override;

    // Shorter steps for tests; set before `start`.
    void setTiming(const Timing& timing);

    // Loads the stored chat and starts the reply fetch; its first tick comes
    // one interval later.
    void start();

    const QList<FeedbackMessage>& messages() const { return m_messages; }
    bool isSending() const { return m_sending; }
    double sendProgress() const { return m_progress; }
    // Whether an inbox is configured to send to.
    bool canSend() const;

    // Spaces (Unicode Zs) and tabs off both ends; line breaks stay.
    static QString trimmedInput(const QString& input);
    // Appends and stores the trimmed input and posts it; false, with nothing
    // changed, when it is empty or nothing can be sent.
    bool sendMessage(const QString& input);
    void fetchReplies();
    // Appends each reply whose text no message from the other side has yet
    // (compared under NFC), raises "hasNewReply" for it, then stores.
    void merge(const QList<FeedbackReply>& replies);
    // Removes the message with `id` and stores the rest; false when none has it.
    bool withdraw(const QUuid& id);

    void loadMessages();
    // Stores the conversation in the background, in order; `flush` waits
    // until every save so far is written (the model does it when it goes).
    void saveMessages();
    void flush();
    // A notice after a send: never stored, skipped when loading.
    static bool isTransient(bool isUser, const QString& text);
    // A reply's ISO 8601 time ("YYYY-MM-DDTHH:MM:SS" + "Z" or "±HH:MM") in
    // local time: "HH:mm" today, "MM-dd HH:mm" this year, else with the year;
    // anything else as received.
    static QString replyTime(const QString& time, const QDateTime& now);

    QTimer* pollTimer() const { return m_poll; }

Q_SIGNALS:
    void messagesReset();
    void messageAdded(int index);
    void messageRemoved(int index);
    void sendingChanged();
    void progressChanged();
    // After a notice: bring the end of the chat into view.
    void scrollToEndRequested();
    // The stored chat could not be written (`cause` says why): the file
    // keeps the conversation as it was before this change.
    void saveFailed(const QString& cause);

private:
    void sendFinished(const QUuid& sent, bool ok);
    // A send that failed after its chat closed: marks its stored copy.
    static void markFailedInStore(UserDefaults& defaults, const FeedbackMessage& sent);
    void append(FeedbackMessage message);
    void setProgress(double value);

    FeedbackManager& m_manager;
    UserDefaults& m_defaults;
    Clock m_clock;
    Timing m_timing;
    QList<FeedbackMessage> m_messages;
    bool m_sending = false;
    bool m_fetching = false;
    double m_progress = 0;
    QTimer* m_poll;
    QVariantAnimation* m_sweep;
    // One thread, so saves land in the order they were made.
    QThreadPool m_saver;
};
