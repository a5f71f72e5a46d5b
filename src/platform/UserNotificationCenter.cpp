#include "UserNotificationCenter.h"

#include <utility>

#include <QHash>
#include <QSet>

#include "Log.h"
#include "Paths.h"
#include "Product.h"
#include "TimeZoneWatcher.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr int kCallTimeoutMs = 5000;
constexpr int kRetryMs = 60 * 1000;

// Never destroyed: the centre lives for the process and must not outlive the
// application object in a static destructor.
UserNotificationCenter*& currentSlot()
{
    static UserNotificationCenter* slot = nullptr;
    return slot;
}

QString escapeMarkup(const QString& s)
{
    return s.toHtmlEscaped();
}

// The launcher icon the app installed (its desktop entry's Icon), so the
// notification shows the icon style the user chose.
QString launcherIconName()
{
    const QString entry = QStandardPaths::locate(QStandardPaths::ApplicationsLocation,
                                                 QString::fromLatin1(Product::kSystemName) + QStringLiteral(".desktop"));
    QFile file(entry);
    if (!entry.isEmpty() && file.size() < 64 * 1024 && file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("Icon="))
                return QString::fromUtf8(line.mid(5).trimmed());
        }
    }
    return QString::fromLatin1(Product::kSystemName);
}

bool nameHasOwner(const QDBusConnection& connection)
{
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("/org/freedesktop/DBus"),
                                                      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << kService;
    const QDBusMessage reply = connection.call(ask, QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool();
}

// Why the service did not take the call; empty when it did. A daemon that
// holds the name and answers late has still shown the notification (a slow
// desktop, a busy daemon): counting that as a failure shows it twice.
QString notifyError(const QDBusConnection& connection, const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ErrorMessage)
        return {};
    const QString name = reply.errorName();
    const bool timedOut = name == QLatin1String("org.freedesktop.DBus.Error.NoReply")
        || name == QLatin1String("org.freedesktop.DBus.Error.Timeout");
    if (timedOut && nameHasOwner(connection))
        return {};
    return reply.errorMessage().isEmpty() ? name : reply.errorMessage();
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
    , m_store(storePath)
    , m_connectionName(QStringLiteral("%1-notifications-%2").arg(QString::fromLatin1(Product::kSystemName)).arg(quintptr(this), 0, 16))
{
    m_worker.setMaxThreadCount(1);
    connect(&m_timer, &WallClockTimer::timeout, this, &UserNotificationCenter::deliverDue);
    connect(&m_timer, &WallClockTimer::clockChanged, this, &UserNotificationCenter::scheduleTimer);
    // Triggers are wall-clock minutes of the local zone.
    connect(&TimeZoneWatcher::shared(), &TimeZoneWatcher::timeZoneChanged, this,
            &UserNotificationCenter::scheduleTimer);
    // The other process's changes: the file is replaced, so its folder is watched too.
    // One replace raises both signals; they are read once, on the next turn.
    auto reload = [this] {
        if (std::exchange(m_reloadQueued, true))
            return;
        QMetaObject::invokeMethod(this, [this] {
            m_reloadQueued = false;
            load();
            watchStore();
            scheduleTimer();
        }, Qt::QueuedConnection);
    };
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, reload);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, reload);
    watchStore();
    // Read once watched: a change made between a read and the watch would go
    // unseen until the next one (the app writing while the agent starts).
    load();
    // Requests that fell due while the app was closed go out as soon as the
    // event loop runs.
    m_timer.start(0);
}

UserNotificationCenter::UserNotificationCenter(const QString& storePath, const QDBusConnection& bus, QObject* parent)
    : UserNotificationCenter(storePath, parent)
{
    m_injectedBus = bus;
}

UserNotificationCenter::UserNotificationCenter(const QString& storePath, const QDBusConnection& bus, Role role,
                                               QObject* parent)
    : UserNotificationCenter(storePath, bus, parent)
{
    m_role = role;
}

UserNotificationCenter::~UserNotificationCenter()
{
    m_worker.waitForDone();
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void UserNotificationCenter::setClock(Clock clock)
{
    m_clock = std::move(clock);
    scheduleTimer();
}

QDateTime UserNotificationCenter::now() const
{
    // In UTC: comparing with it asks the C library nothing.
    return m_clock ? m_clock() : QDateTime::currentDateTimeUtc();
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
    const QString address = sessionBusAddress();
    if (address.isEmpty())
        return QDBusConnection(m_connectionName);
    return QDBusConnection::connectToBus(address, m_connectionName);
}

QString UserNotificationCenter::sessionBusAddress()
{
    QString address = QString::fromUtf8(qgetenv("DBUS_SESSION_BUS_ADDRESS"));
    if (address.isEmpty()) {
        // Sessions started by systemd may leave the variable unset and rely on
        // the bus's well-known place, as libdbus itself does.
        const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
        if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
            address = QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
    }
    return address;
}

void UserNotificationCenter::watchService(const QDBusConnection& connection)
{
    if (m_serviceWatcher && m_serviceWatcher->connection().isConnected())
        return;
    delete m_serviceWatcher;
    // A daemon that comes back (restarted, or the desktop started late) gets
    // what fell due meanwhile at once, not after the pause between tries.
    m_serviceWatcher =
        new QDBusServiceWatcher(kService, connection, QDBusServiceWatcher::WatchForRegistration, this);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        m_retryAfter = {};
        m_capabilities.reset();
        scheduleTimer();
    });
}

void UserNotificationCenter::withCapabilities(std::function<void(bool reachable)> then)
{
    QDBusConnection connection = bus();
    if (!connection.isConnected()) {
        QMetaObject::invokeMethod(this, [then] { then(false); }, Qt::QueuedConnection);
        return;
    }
    watchService(connection);
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
    replace({}, requests, context, std::move(completion));
}

void UserNotificationCenter::replace(const QStringList& identifiers, const QList<UserNotificationRequest>& requests,
                                     QObject* context, BatchCompletion completion)
{
    const QDateTime current = now();
    QStringList errors;
    QList<int> added;
    QList<UserNotificationRequest> accepted;
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
            accepted.append(request);
            added.append(int(errors.size()));
        }
        errors.append(error);
    }
    if (!added.isEmpty() || !identifiers.isEmpty()) {
        QString saveError;
        const QSet<QString> doomed(identifiers.cbegin(), identifiers.cend());
        const bool saved = update(
            [&](PendingNotificationStore::Requests& list) {
                if (!doomed.isEmpty())
                    list.removeIf([&](const UserNotificationRequest& r) { return doomed.contains(r.identifier); });
                // By identifier through an index: a batch of thousands of
                // reminders must not compare each with every pending one.
                QHash<QString, qsizetype> at;
                at.reserve(list.size() + accepted.size());
                for (qsizetype i = list.size() - 1; i >= 0; --i)
                    at.insert(list[i].identifier, i); // the first of equal ones wins
                for (const UserNotificationRequest& request : accepted) {
                    const auto it = at.constFind(request.identifier);
                    if (it != at.constEnd()) {
                        list[*it] = request;
                    } else {
                        at.insert(request.identifier, list.size());
                        list.append(request);
                    }
                }
            },
            &saveError);
        if (!saved) {
            for (int i : added)
                errors[i] = saveError;
            if (!doomed.isEmpty())
                Log::line(QStringLiteral("📱 本地通知列表保存失败: ") + saveError);
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
    replace(identifiers, {});
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
    m_pending = m_store.read();
}

void UserNotificationCenter::watchStore()
{
    const QString folder = QFileInfo(m_storePath).absolutePath();
    QDir().mkpath(folder);
    if (!m_watcher.directories().contains(folder))
        m_watcher.addPath(folder);
    // A file replaced by rename is a new file: watch it anew.
    m_watcher.removePath(m_storePath);
    if (QFileInfo::exists(m_storePath))
        m_watcher.addPath(m_storePath);
}

bool UserNotificationCenter::update(const std::function<void(PendingNotificationStore::Requests&)>& change,
                                    QString* error)
{
    const auto result = m_store.update(change, error);
    if (result)
        m_pending = *result;
    return result.has_value();
}

bool UserNotificationCenter::mayDeliver()
{
    if (m_role == Role::Agent)
        return true;
    QDBusConnection connection = bus();
    if (!connection.isConnected() || !connection.interface())
        return true;
    if (!m_watchingAgent) {
        // An agent that goes away leaves its requests to the app at once.
        auto* watcher = new QDBusServiceWatcher(QString::fromLatin1(kAgentService), connection,
                                                QDBusServiceWatcher::WatchForUnregistration, this);
        connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, &UserNotificationCenter::scheduleTimer);
        m_watchingAgent = true;
    }
    return !connection.interface()->isServiceRegistered(QString::fromLatin1(kAgentService)).value();
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
    m_timer.start(wait);
}

void UserNotificationCenter::deliverDue()
{
    if (m_delivering)
        return; // the batch under way schedules the next look when it ends
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
    // The agent delivers while it runs; the app hears when it goes.
    if (due.isEmpty() || !mayDeliver()) {
        m_timer.stop();
        if (due.isEmpty())
            scheduleTimer();
        return;
    }
    for (const UserNotificationRequest& r : due)
        m_inFlight.insert(r.identifier);
    auto send = [this, due](bool reachable) {
        for (const UserNotificationRequest& r : due)
            m_inFlight.remove(r.identifier);
        if (!reachable) {
            onNotified(due.first(), QStringLiteral("通知服务不可用"));
            return;
        }
        QList<QDBusMessage> calls;
        const QString icon = launcherIconName();
        for (const UserNotificationRequest& r : due)
            calls.append(notifyCall(r, icon));
        m_delivering = true;
        // Off the main thread: each request waits for the service's answer,
        // which must freeze no window.
        PendingNotificationStore store = m_store;
        QDBusConnection connection = bus();
        m_worker.start([this, store, connection, due, calls]() mutable {
            QList<std::pair<UserNotificationRequest, QString>> outcomes;
            for (qsizetype i = 0; i < due.size(); ++i) {
                QString error;
                QString saveError;
                const auto taken = store.take(due[i], [&] {
                    error = notifyError(connection, connection.call(calls[i], QDBus::Block, kCallTimeoutMs));
                    return error.isEmpty();
                }, &saveError);
                if (taken == PendingNotificationStore::Taken::NotPending)
                    continue; // removed, replaced, or shown by the other process
                if (taken == PendingNotificationStore::Taken::WriteFailed)
                    Log::line(QStringLiteral("📱 本地通知列表保存失败: ") + saveError);
                outcomes.append({due[i], error});
                if (!error.isEmpty())
                    break; // the service refuses: the rest waits for the retry
            }
            QMetaObject::invokeMethod(this, [this, outcomes] {
                m_delivering = false;
                load();
                for (const auto& [request, error] : outcomes)
                    onNotified(request, error);
                scheduleTimer();
            }, Qt::QueuedConnection);
        });
    };
    if (m_capabilities)
        send(true);
    else
        withCapabilities(send);
}

QDBusMessage UserNotificationCenter::notifyCall(const UserNotificationRequest& request, const QString& icon) const
{
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
    // The same name from the app and from the agent.
    QString appName = QCoreApplication::applicationName();
    if (appName.isEmpty())
        appName = QStringLiteral("Tessary");
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
    call << appName << uint(0) << icon << request.title << body << QStringList() << hints << int(-1);
    return call;
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
    Q_EMIT delivered(request);
    scheduleTimer();
}
