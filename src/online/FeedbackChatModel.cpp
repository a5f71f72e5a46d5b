#include "FeedbackChatModel.h"

#include "online/FeedbackManager.h"
#include "online/OnlineKeys.h"
#include "platform/UserDefaults.h"

#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>
#include <QTimer>
#include <QVariantAnimation>

namespace {
const QString kSuccessMarker = QStringLiteral("你已发送成功");
const QString kSentMarker = QStringLiteral("发送成功");

FeedbackMessage message(bool isUser, const QString& text, const QString& time)
{
    return {QUuid::createUuid(), isUser, text, time};
}

bool isSpace(QChar c) { return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space; }
}

bool FeedbackMessage::isNotice() const { return text.contains(kSuccessMarker); }

bool FeedbackMessage::isWithdrawable() const { return isUser && !text.contains(kSentMarker); }

QString FeedbackChatModel::greeting() { return QStringLiteral("你好，有建议可以在这里告诉我，我也会在这里回复你。"); }
QString FeedbackChatModel::successNotice() { return QStringLiteral("你已发送成功，后续开发者看到优化后回复你"); }
QString FeedbackChatModel::failureNotice() { return QStringLiteral("发送失败，请检查网络后重试"); }

FeedbackChatModel::FeedbackChatModel(FeedbackManager& manager, UserDefaults& defaults, Clock clock, QObject* parent)
    : QObject(parent)
    , m_manager(manager)
    , m_defaults(defaults)
    , m_clock(std::move(clock))
    , m_poll(new QTimer(this))
    , m_sweep(new QVariantAnimation(this))
{
    m_messages.append(message(false, greeting(), QString()));
    m_poll->setInterval(m_timing.pollMs);
    connect(m_poll, &QTimer::timeout, this, &FeedbackChatModel::fetchReplies);
    m_sweep->setStartValue(0.0);
    m_sweep->setEndValue(1.0);
    m_sweep->setDuration(m_timing.sweepMs);
    connect(m_sweep, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) { setProgress(v.toDouble()); });
    m_saver.setMaxThreadCount(1);
}

FeedbackChatModel::~FeedbackChatModel() { flush(); }

void FeedbackChatModel::flush() { m_saver.waitForDone(); }

void FeedbackChatModel::setTiming(const Timing& timing)
{
    m_timing = timing;
    m_poll->setInterval(timing.pollMs);
    m_sweep->setDuration(timing.sweepMs);
}

void FeedbackChatModel::start()
{
    loadMessages();
    m_poll->start();
}

bool FeedbackChatModel::canSend() const { return m_manager.isConfigured(); }

QString FeedbackChatModel::trimmedInput(const QString& input)
{
    qsizetype begin = 0;
    qsizetype end = input.size();
    while (begin < end && isSpace(input[begin]))
        ++begin;
    while (end > begin && isSpace(input[end - 1]))
        --end;
    return input.mid(begin, end - begin);
}

bool FeedbackChatModel::sendMessage(const QString& input)
{
    const QString text = trimmedInput(input);
    if (text.isEmpty() || !canSend())
        return false;
    m_sending = true;
    Q_EMIT sendingChanged();
    append(message(true, text, m_clock().toLocalTime().toString(QStringLiteral("HH:mm"))));
    const FeedbackMessage sent = m_messages.last();
    saveMessages();

    m_sweep->stop();
    setProgress(0);
    m_sweep->start();
    QTimer::singleShot(m_timing.sweepMs, this, [this] {
        m_sweep->stop();
        setProgress(0);
    });
    // The answer may come after the chat has closed: it still marks a
    // failed message in the stored chat.
    QPointer<FeedbackChatModel> self(this);
    m_manager.sendFeedback(text, &m_manager, [self, sent, &defaults = m_defaults](bool ok) {
        if (self)
            self->sendFinished(sent.id, ok);
        else if (!ok)
            markFailedInStore(defaults, sent);
    });
    return true;
}

void FeedbackChatModel::sendFinished(const QUuid& sent, bool ok)
{
    // Stored at once: the chat may close before the notice shows.
    if (!ok) {
        const auto it = std::find_if(m_messages.begin(), m_messages.end(),
                                     [&](const FeedbackMessage& m) { return m.id == sent; });
        if (it != m_messages.end()) {
            it->sendFailed = true;
            saveMessages();
        }
    }
    QTimer::singleShot(m_timing.noticeDelayMs, this, [this, ok] {
        m_sending = false;
        m_sweep->stop();
        setProgress(0);
        Q_EMIT sendingChanged();
        append(message(false, ok ? successNotice() : failureNotice(), QString()));
        saveMessages();
        QTimer::singleShot(m_timing.scrollDelayMs, this, &FeedbackChatModel::scrollToEndRequested);
    });
}

void FeedbackChatModel::markFailedInStore(UserDefaults& defaults, const FeedbackMessage& sent)
{
    std::optional<QVariantList> stored = defaults.array(OnlineKeys::localFeedbackMessages);
    if (!stored)
        return;
    // The latest copy not yet marked: an earlier one of the same text was another send.
    for (qsizetype i = stored->size() - 1; i >= 0; --i) {
        QVariantMap entry = stored->at(i).toMap();
        if (entry.value(QStringLiteral("isUser")) == QVariant(true) && entry.value(QStringLiteral("text")) == sent.text
            && entry.value(QStringLiteral("time")) == sent.time && !entry.contains(QStringLiteral("sendFailed"))) {
            entry.insert(QStringLiteral("sendFailed"), true);
            (*stored)[i] = entry;
            defaults.set(OnlineKeys::localFeedbackMessages, *stored);
            return;
        }
    }
}

void FeedbackChatModel::fetchReplies()
{
    // A fetch still waiting makes this tick's redundant.
    if (m_fetching || !canSend())
        return;
    m_fetching = true;
    m_manager.fetchReplies(this, [this](const QList<FeedbackReply>& replies) {
        m_fetching = false;
        merge(replies);
    });
}

void FeedbackChatModel::merge(const QList<FeedbackReply>& replies)
{
    QSet<QString> known;
    for (const FeedbackMessage& m : std::as_const(m_messages))
        if (!m.isUser)
            known.insert(m.text.normalized(QString::NormalizationForm_C));
    const QDateTime now = m_clock();
    bool added = false;
    for (const FeedbackReply& reply : replies) {
        if (!reply.text)
            continue;
        const QString text = *reply.text;
        if (known.contains(text.normalized(QString::NormalizationForm_C)))
            continue;
        known.insert(text.normalized(QString::NormalizationForm_C));
        append(message(false, text, replyTime(reply.time, now)));
        added = true;
    }
    // One write for the whole batch: each write rewrites the defaults file.
    if (added) {
        m_defaults.set(OnlineKeys::hasNewReply, true);
        saveMessages();
    }
}

bool FeedbackChatModel::withdraw(const QUuid& id)
{
    const auto it = std::find_if(m_messages.begin(), m_messages.end(), [&](const FeedbackMessage& m) { return m.id == id; });
    if (it == m_messages.end())
        return false;
    const int index = int(it - m_messages.begin());
    m_messages.erase(it);
    saveMessages();
    Q_EMIT messageRemoved(index);
    return true;
}

bool FeedbackChatModel::isTransient(bool isUser, const QString& text)
{
    return !isUser && (text == successNotice() || text == failureNotice());
}

void FeedbackChatModel::saveMessages()
{
    QVariantList stored;
    stored.reserve(m_messages.size());
    for (const FeedbackMessage& m : m_messages) {
        if (isTransient(m.isUser, m.text) || (!m.isUser && m.text == greeting()))
            continue;
        QVariantMap entry{{QStringLiteral("isUser"), m.isUser},
                          {QStringLiteral("text"), m.text},
                          {QStringLiteral("time"), m.time}};
        if (m.sendFailed)
            entry.insert(QStringLiteral("sendFailed"), true);
        stored.append(entry);
    }
    // Encoding and writing a long chat takes longer than a frame.
    // The model outlives the task (its destructor waits), not the queued call.
    m_saver.start([&defaults = m_defaults, stored, model = this] {
        if (defaults.set(OnlineKeys::localFeedbackMessages, stored))
            return;
        const QString cause = defaults.lastWriteError();
        QMetaObject::invokeMethod(model, [model, cause] { Q_EMIT model->saveFailed(cause); }, Qt::QueuedConnection);
    });
}

void FeedbackChatModel::loadMessages()
{
    const std::optional<QVariantList> stored = m_defaults.array(OnlineKeys::localFeedbackMessages);
    if (!stored)
        return;
    // All or nothing: one element of another kind leaves the chat as it is.
    for (const QVariant& element : *stored)
        if (element.typeId() != QMetaType::QVariantMap)
            return;
    QList<FeedbackMessage> loaded{message(false, greeting(), QString())};
    loaded.reserve(stored->size() + 1);
    for (const QVariant& element : *stored) {
        const QVariantMap entry = element.toMap();
        auto typed = [&](const char* key, QMetaType::Type type) {
            const QVariant v = entry.value(QLatin1String(key));
            return v.typeId() == type ? v : QVariant();
        };
        const QString text = typed("text", QMetaType::QString).toString();
        const QVariant isUserValue = typed("isUser", QMetaType::Bool);
        const bool isUser = isUserValue.isValid() ? isUserValue.toBool() : true;
        if (isTransient(isUser, text) || (!isUser && text == greeting()))
            continue;
        loaded.append(message(isUser, text, typed("time", QMetaType::QString).toString()));
        if (isUser && typed("sendFailed", QMetaType::Bool).toBool()) {
            loaded.last().sendFailed = true;
            loaded.append(message(false, failureNotice(), QString()));
        }
    }
    m_messages = loaded;
    Q_EMIT messagesReset();
}

QString FeedbackChatModel::replyTime(const QString& time, const QDateTime& now)
{
    static const QRegularExpression iso(QStringLiteral(
        "^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})(?:(Z)|([+-])(\\d{2}):(\\d{2}))$"));
    const QRegularExpressionMatch m = iso.match(time);
    if (!m.hasMatch())
        return time;
    auto n = [&](int group) { return m.captured(group).toInt(); };
    const QDate date(n(1), n(2), n(3));
    const QTime clock = QTime::isValid(n(4), n(5), n(6)) ? QTime(n(4), n(5), n(6)) : QTime();
    const bool zulu = m.capturedLength(7) > 0;
    if (!date.isValid() || !clock.isValid() || (!zulu && (n(9) > 23 || n(10) > 59)))
        return time;
    const int offset = zulu ? 0 : (m.captured(8) == QLatin1String("-") ? -1 : 1) * (n(9) * 3600 + n(10) * 60);
    const QDateTime moment = QDateTime(date, clock, QTimeZone(offset)).toLocalTime();
    const QDateTime today = now.toLocalTime();
    if (moment.date() == today.date())
        return moment.toString(QStringLiteral("HH:mm"));
    if (moment.date().year() == today.date().year())
        return moment.toString(QStringLiteral("MM-dd HH:mm"));
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

void FeedbackChatModel::append(FeedbackMessage message)
{
    m_messages.append(std::move(message));
    Q_EMIT messageAdded(int(m_messages.size() - 1));
}

void FeedbackChatModel::setProgress(double value)
{
    if (value == m_progress)
        return;
    m_progress = value;
    Q_EMIT progressChanged();
}
