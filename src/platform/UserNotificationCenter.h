#pragma once

#include "platform/PendingNotificationStore.h"
#include "platform/UserNotificationRequest.h"
#include "platform/WallClockTimer.h"

#include <QDBusConnection>
#include <QFileSystemWatcher>
#include <QList>
#include <QDBusMessage>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QSet>
#include <QStringList>
#include <QTimer>

class QDBusServiceWatcher;

#include <functional>
#include <memory>
#include <optional>

// Numbered as the order book reads a notification permission: only
// Authorized counts as granted.
enum class UserNotificationAuthorizationStatus {
    NotDetermined = 0,
    Denied = 1,
    Authorized = 2,
    Provisional = 3,
};

// Local notifications scheduled for a minute of the calendar.
//
// Pending requests are kept in a JSON file, so they survive a restart, and the
// file is watched, so changes made by another process are seen. A request
// that falls due is shown through the desktop's notification service
// (org.freedesktop.Notifications on the session bus) by one process: the
// reminder agent while it holds `kAgentService` on the bus (so reminders come
// while the app is closed), else the app. The deliverer takes a due request
// out of the file under its lock before showing it, so no request is shown
// twice; one no daemon took (no owner of the name, an error reply) goes back
// and is tried again a minute later, or as soon as a daemon takes the name.
// One the daemon took but answered late for counts as shown.
// Between requests nothing wakes: the wait is one wall-clock timer.
//
// Authorization is granted exactly when the notification service answers.
// Every answer comes back on the main thread, and only while the `context`
// given with the call lives.
class UserNotificationCenter : public QObject
{
    Q_OBJECT
public:
    enum AuthorizationOption { Badge = 1, Sound = 2, Alert = 4 };
    // The app delivers only while no agent holds the agent's bus name.
    enum class Role { App, Agent };
    static constexpr const char* kAgentService = "org.tessary.Reminders";
    using Clock = std::function<QDateTime()>;
    using ErrorCompletion = std::function<void(const QString& error)>; // empty error: success
    // One error per request, in order; empty where the request was added.
    using BatchCompletion = std::function<void(const QStringList& errors)>;

    // The app's centre: pending requests in the data folder, the session bus of
    // DBUS_SESSION_BUS_ADDRESS. Made on first use.
    static UserNotificationCenter& current();
    // Replaces the app's centre (tests); returns the installed one.
    static UserNotificationCenter* installCurrent(std::unique_ptr<UserNotificationCenter> center);
    static QString defaultStorePath();

    // Connects to the bus named by DBUS_SESSION_BUS_ADDRESS (when unset, the
    // one at $XDG_RUNTIME_DIR/bus) when it needs it (again after a failure, so
    // a bus that starts later is found).
    explicit UserNotificationCenter(const QString& storePath, QObject* parent = nullptr);
    UserNotificationCenter(const QString& storePath, const QDBusConnection& bus, QObject* parent = nullptr);
    UserNotificationCenter(const QString& storePath, const QDBusConnection& bus, Role role, QObject* parent = nullptr);
    // The session bus address: DBUS_SESSION_BUS_ADDRESS, else the bus at its
    // well-known place in XDG_RUNTIME_DIR; empty when there is none.
    static QString sessionBusAddress();
    ~UserNotificationCenter() override;

    QString storePath() const { return m_storePath; }

    void requestAuthorization(int options, QObject* context,
                              std::function<void(bool granted, const QString& error)> completion);
    void getAuthorizationStatus(QObject* context, std::function<void(UserNotificationAuthorizationStatus)> completion);

    // Adds or replaces (same identifier) a request. Fails for an empty
    // identifier, a trigger that forms no date or lies in a past minute, or a
    // file that cannot be written.
    void add(const UserNotificationRequest& request, QObject* context = nullptr, ErrorCompletion completion = {});
    // Many requests with one write of the pending file; each is checked as
    // above, and one that fails does not keep the others out.
    void add(const QList<UserNotificationRequest>& requests, QObject* context = nullptr,
             BatchCompletion completion = {});
    // Withdraws `identifiers` and adds `requests` (checked as above) in one
    // write: the file never holds the old ones gone and the new ones missing.
    void replace(const QStringList& identifiers, const QList<UserNotificationRequest>& requests,
                 QObject* context = nullptr, BatchCompletion completion = {});
    void getPendingNotificationRequests(QObject* context,
                                        std::function<void(const QList<UserNotificationRequest>&)> completion);
    void removePendingNotificationRequests(const QStringList& identifiers);
    void removeAllPendingNotificationRequests();
    // The pending list now (synchronous, for the main thread).
    QList<UserNotificationRequest> pendingRequests() const { return m_pending; }

    // Tests move time.
    void setClock(Clock clock);

Q_SIGNALS:
    // The notification service took the request.
    void delivered(const UserNotificationRequest& request);

private:
    void load();
    void watchStore();
    // Changes the file under its lock and takes the result as the pending list.
    bool update(const std::function<void(PendingNotificationStore::Requests&)>& change, QString* error);
    bool mayDeliver();
    void scheduleTimer();
    void deliverDue();
    // The Notify call that shows the request.
    QDBusMessage notifyCall(const UserNotificationRequest& request, const QString& icon) const;
    void onNotified(const UserNotificationRequest& request, const QString& error);
    void withCapabilities(std::function<void(bool reachable)> then);
    void watchService(const QDBusConnection& connection);
    QDBusConnection bus();
    template <typename Fn>
    void answer(QObject* context, Fn fn);
    QDateTime now() const;

    QString m_storePath;
    PendingNotificationStore m_store;
    Role m_role = Role::App;
    QFileSystemWatcher m_watcher;
    bool m_reloadQueued = false;
    bool m_watchingAgent = false;
    std::optional<QDBusConnection> m_injectedBus;
    QString m_connectionName;
    QList<UserNotificationRequest> m_pending;
    QSet<QString> m_inFlight;
    std::optional<QStringList> m_capabilities;
    QDateTime m_retryAfter;
    bool m_failureLogged = false;
    Clock m_clock;
    WallClockTimer m_timer;
    QThreadPool m_worker;
    bool m_delivering = false;
    QPointer<QDBusServiceWatcher> m_serviceWatcher;
};
