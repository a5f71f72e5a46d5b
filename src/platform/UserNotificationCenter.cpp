#include "UserNotificationCenter.h"

#include "Log.h"
#include "Paths.h"
#include "Product.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>

#include <algorithm>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr int kCallTimeoutMs = 5000;
constexpr int kRetryMs = 60 * 1000;
// Wake at least this often, so a changed clock or a resumed machine is noticed.
constexpr int kLongestSleepMs = 60 * 1000;
constexpr qint64 kMaxStoreSize = 16 * 1024 * 1024;

// Never destroyed: the centre lives for the process and must not outlive the
// application object in a static destructor.
UserNotificationCenter*& currentSlot()
{
    static UserNotificationCenter* slot = nullptr;
    return slot;
}

QJsonObject encode(const UserNotificationRequest& r)
{
    return QJsonObject{
        {"identifier", r.identifier},
        {"title", r.title},
        {"subtitle", r.subtitle},
        {"body", r.body},
        {"sound", r.defaultSound ? QJsonValue(QStringLiteral("default")) : QJsonValue()},
        {"trigger", QJsonObject{{"year", r.trigger.year},
                                {"month", r.trigger.month},
                                {"day", r.trigger.day},
                                {"hour", r.trigger.hour},
                                {"minute", r.trigger.minute},
                                {"repeats", false}}},
    };
}

std::optional<UserNotificationRequest> decode(const QJsonValue& v)
{
    const QJsonObject o = v.toObject();
    const QJsonObject t = o.value("trigger").toObject();
    UserNotificationRequest r;
    r.identifier = o.value("identifier").toString();
    r.title = o.value("title").toString();
    r.subtitle = o.value("subtitle").toString();
    r.body = o.value("body").toString();
    r.defaultSound = o.value("sound").toString() == QLatin1String("default");
    r.trigger = {t.value("year").toInt(), t.value("month").toInt(), t.value("day").toInt(), t.value("hour").toInt(),
                 t.value("minute").toInt()};
    if (r.identifier.isEmpty() || !r.trigger.fireDate().isValid())
        return std::nullopt;
    return r;
}

QString escapeMarkup(const QString& s)
{
    return s.toHtmlEscaped();
}

}

UserNotificationCenter& UserNotificationCenter::current()
{
    UserNotificationCenter*& slot = currentSlot();
    if (!slot)
        slot = new UserNotificationCenter(defaultStorePath());
    return *slot;
}

UserNotificationCenter* UserNotificationCenter::installCurrent(std::unique_ptr<UserNotificationCenter> center)
{
    delete currentSlot();
    currentSlot() = center.release();
    return currentSlot();
}

QString UserNotificationCenter::defaultStorePath()
{
    return Paths::dataDir() + QStringLiteral("/pending_notifications.json");
}

UserNotificationCenter::UserNotificationCenter(const QString& storePath, QObject* parent)
    : QObject(parent)
    , m_storePath(storePath)
    , m_connectionName(QStringLiteral("%1-notifications-%2").arg(QString::fromLatin1(Product::kSystemName)).arg(quintptr(this), 0, 16))
{
    load();
    m_timer.setSingleShot(true);
    // A coarse timer may wake seconds late on a long wait; reminders are due
    // on the minute.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &UserNotificationCenter::deliverDue);
    // Requests that fell due while the app was closed go out as soon as the
    // event loop runs.
    m_timer.start(0);
}

UserNotificationCenter::UserNotificationCenter(const QString& storePath, const QDBusConnection& bus, QObject* parent)
    : UserNotificationCenter(storePath, parent)
{
    m_injectedBus = bus;
}

UserNotificationCenter::~UserNotificationCenter()
{
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void UserNotificationCenter::setClock(Clock clock)
{
    m_clock = std::move(clock);
    scheduleTimer();
}

QDateTime UserNotificationCenter::now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

template <typename Fn>
void UserNotificationCenter::answer(QObject* context, Fn fn)
{
    QPointer<QObject> guard(context);
    const bool hadContext = context != nullptr;
    QMetaObject::invokeMethod(
        this,
        [guard, hadContext, fn = std::move(fn)]() mutable {
            if (hadContext && !guard)
                return;
            fn();
        },
        Qt::QueuedConnection);
}

QDBusConnection UserNotificationCenter::bus()
{
    if (m_injectedBus)
        return *m_injectedBus;
    QDBusConnection existing(m_connectionName);
    if (existing.isConnected())
        return existing;
    QDBusConnection::disconnectFromBus(m_connectionName);
    QString address = QString::fromUtf8(qgetenv("DBUS_SESSION_BUS_ADDRESS"));
    if (address.isEmpty()) {
        // Sessions started by systemd may leave the variable unset and rely on
        // the bus's well-known place, as libdbus itself does.
        const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
        if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
            address = QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
    }
    if (address.isEmpty())
        return QDBusConnection(m_connectionName);
    return QDBusConnection::connectToBus(address, m_connectionName);
}

void UserNotificationCenter::withCapabilities(std::function<void(bool reachable)> then)
{
    QDBusConnection connection = bus();
    if (!connection.isConnected()) {
        QMetaObject::invokeMethod(this, [then] { then(false); }, Qt::QueuedConnection);
        return;
    }
    const QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "GetCapabilities");
    auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, then](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isError()) {
            then(false);
            return;
        }
        m_capabilities = reply.value();
        then(true);
    });
}

void UserNotificationCenter::requestAuthorization(int options, QObject* context,
                                                  std::function<void(bool, const QString&)> completion)
{
    Q_UNUSED(options); // The desktop decides how alerts and sounds are shown.
    QPointer<QObject> guard(context);
    const bool hadContext = context != nullptr;
    withCapabilities([guard, hadContext, completion](bool reachable) {
        if ((hadContext && !guard) || !completion)
            return;
        completion(reachable, QString());
    });
}

void UserNotificationCenter::getAuthorizationStatus(QObject* context,
                                                    std::function<void(UserNotificationAuthorizationStatus)> completion)
{
    QPointer<QObject> guard(context);
    const bool hadContext = context != nullptr;
    withCapabilities([guard, hadContext, completion](bool reachable) {
        if ((hadContext && !guard) || !completion)
            return;
        completion(reachable ? UserNotificationAuthorizationStatus::Authorized
                             : UserNotificationAuthorizationStatus::Denied);
    });
}

void UserNotificationCenter::add(const UserNotificationRequest& request, QObject* context, ErrorCompletion completion)
{
    BatchCompletion batch;
    if (completion)
        batch = [completion](const QStringList& errors) { completion(errors.value(0)); };
    add(QList<UserNotificationRequest>{request}, context, std::move(batch));
}

void UserNotificationCenter::add(const QList<UserNotificationRequest>& requests, QObject* context,
                                 BatchCompletion completion)
{
    const QDateTime current = now();
    const QList<UserNotificationRequest> before = m_pending;
    QStringList errors;
    QList<int> added;
    for (const UserNotificationRequest& request : requests) {
        QString error;
        const QDateTime fire = request.trigger.fireDate();
        if (request.identifier.isEmpty())
            error = QStringLiteral("通知标识不能为空");
        else if (!fire.isValid())
            error = QStringLiteral("通知触发时间无效");
        else if (fire.addSecs(60) <= current)
            error = QStringLiteral("通知触发时间已过");
        if (error.isEmpty()) {
            auto it = std::find_if(m_pending.begin(), m_pending.end(),
                                   [&](const UserNotificationRequest& r) { return r.identifier == request.identifier; });
            if (it != m_pending.end())
                *it = request;
            else
                m_pending.append(request);
            added.append(int(errors.size()));
        }
        errors.append(error);
    }
    if (!added.isEmpty()) {
        QString saveError;
        if (!save(&saveError)) {
            m_pending = before;
            for (int i : added)
                errors[i] = saveError;
        }
        scheduleTimer();
    }
    if (completion)
        answer(context, [completion, errors] { completion(errors); });
}

void UserNotificationCenter::getPendingNotificationRequests(
    QObject* context, std::function<void(const QList<UserNotificationRequest>&)> completion)
{
    if (!completion)
        return;
    const QList<UserNotificationRequest> snapshot = m_pending;
    answer(context, [completion, snapshot] { completion(snapshot); });
}

void UserNotificationCenter::removePendingNotificationRequests(const QStringList& identifiers)
{
    const qsizetype removed = m_pending.removeIf(
        [&](const UserNotificationRequest& r) { return identifiers.contains(r.identifier); });
    if (removed > 0) {
        QString error;
        if (!save(&error))
            Log::line(QStringLiteral("📱 本地通知列表保存失败: ") + error);
        scheduleTimer();
    }
}

void UserNotificationCenter::removeAllPendingNotificationRequests()
{
    QStringList all;
    for (const UserNotificationRequest& r : m_pending)
        all << r.identifier;
    removePendingNotificationRequests(all);
}

void UserNotificationCenter::load()
{
    QFile f(m_storePath);
    if (!f.exists())
        return;
    QJsonParseError parseError{};
    QJsonDocument doc;
    if (f.open(QIODevice::ReadOnly) && f.size() <= kMaxStoreSize)
        doc = QJsonDocument::fromJson(f.readAll(), &parseError);
    f.close();
    if (!doc.isObject()) {
        // Keep what could not be read instead of writing over it later.
        const QString aside = m_storePath + QStringLiteral(".corrupt-")
            + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QFile::rename(m_storePath, aside);
        Log::line(QStringLiteral("📱 本地通知列表无法读取，已另存为 ") + aside);
        return;
    }
    for (const QJsonValue& v : doc.object().value("requests").toArray()) {
        if (auto r = decode(v)) {
            auto same = [&](const UserNotificationRequest& p) { return p.identifier == r->identifier; };
            if (std::none_of(m_pending.begin(), m_pending.end(), same))
                m_pending.append(*r);
        }
    }
}

bool UserNotificationCenter::save(QString* error)
{
    QJsonArray list;
    for (const UserNotificationRequest& r : m_pending)
        list.append(encode(r));
    const QByteArray bytes = QJsonDocument(QJsonObject{{"version", 1}, {"requests", list}}).toJson();
    const QString failure = Paths::saveAtomically(m_storePath, bytes);
    if (!failure.isEmpty() && error)
        *error = QStringLiteral("无法保存本地通知：") + failure;
    return failure.isEmpty();
}

void UserNotificationCenter::scheduleTimer()
{
    const QDateTime current = now();
    qint64 wait = -1;
    for (const UserNotificationRequest& r : m_pending) {
        if (m_inFlight.contains(r.identifier))
            continue;
        QDateTime due = r.trigger.fireDate();
        if (m_retryAfter.isValid() && due < m_retryAfter)
            due = m_retryAfter;
        const qint64 ms = std::max<qint64>(0, current.msecsTo(due));
        if (wait < 0 || ms < wait)
            wait = ms;
    }
    if (wait < 0) {
        m_timer.stop();
        return;
    }
    m_timer.start(int(std::min<qint64>(wait, kLongestSleepMs)));
}

void UserNotificationCenter::deliverDue()
{
    const QDateTime current = now();
    // A clock set back must not stretch the pause after a failure.
    if (m_retryAfter.isValid() && current.msecsTo(m_retryAfter) > kRetryMs)
        m_retryAfter = current.addMSecs(kRetryMs);
    if (m_retryAfter.isValid() && current < m_retryAfter) {
        scheduleTimer();
        return;
    }
    m_retryAfter = {};
    QList<UserNotificationRequest> due;
    for (const UserNotificationRequest& r : m_pending) {
        if (!m_inFlight.contains(r.identifier) && r.trigger.fireDate() <= current)
            due.append(r);
    }
    if (due.isEmpty()) {
        scheduleTimer();
        return;
    }
    for (const UserNotificationRequest& r : due)
        m_inFlight.insert(r.identifier);
    auto send = [this, due](bool reachable) {
        bool dropped = false;
        for (const UserNotificationRequest& r : due) {
            // Removed or replaced while the service was being asked.
            if (!m_pending.contains(r)) {
                m_inFlight.remove(r.identifier);
                dropped = true;
                continue;
            }
            if (reachable)
                notify(r);
            else
                onNotified(r, QStringLiteral("通知服务不可用"));
        }
        if (dropped)
            scheduleTimer();
    };
    if (m_capabilities)
        send(true);
    else
        withCapabilities(send);
}

void UserNotificationCenter::notify(const UserNotificationRequest& request)
{
    QDBusConnection connection = bus();
    // The service reads markup in the body only when it says so; text from
    // orders must then be escaped to show as written.
    const bool markup = m_capabilities && m_capabilities->contains(QStringLiteral("body-markup"));
    QStringList lines;
    if (!request.subtitle.isEmpty())
        lines << request.subtitle;
    if (!request.body.isEmpty())
        lines << request.body;
    QString body = lines.join('\n');
    if (markup)
        body = escapeMarkup(body);
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(1)));
    hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(Product::kSystemName));
    if (request.defaultSound)
        hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
    else
        hints.insert(QStringLiteral("suppress-sound"), true);
    QString appName = QGuiApplication::applicationDisplayName();
    if (appName.isEmpty())
        appName = QStringLiteral("Tessary");
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
    call << appName << uint(0) << QString() << request.title << body << QStringList() << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, request](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        onNotified(request, reply.isError() ? reply.error().message() : QString());
    });
}

void UserNotificationCenter::onNotified(const UserNotificationRequest& request, const QString& error)
{
    m_inFlight.remove(request.identifier);
    if (!error.isEmpty()) {
        // One line per outage, not one per retry.
        if (!m_failureLogged)
            Log::line(QStringLiteral("📱 本地通知发送失败: ") + error);
        m_failureLogged = true;
        m_capabilities.reset();
        m_retryAfter = now().addMSecs(kRetryMs);
        scheduleTimer();
        return;
    }
    m_failureLogged = false;
    // A request replaced while it was being shown stays pending as replaced.
    const qsizetype removed = m_pending.removeIf([&](const UserNotificationRequest& r) { return r == request; });
    if (removed > 0) {
        QString saveError;
        if (!save(&saveError))
            Log::line(QStringLiteral("📱 本地通知列表保存失败: ") + saveError);
    }
    Q_EMIT delivered(request);
    scheduleTimer();
}
