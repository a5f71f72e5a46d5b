#pragma once

#include "platform/UserNotificationRequest.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

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
// Pending requests are kept in a JSON file, so they survive a restart. A
// request that falls due while the app runs is shown through the desktop's
// notification service (org.freedesktop.Notifications on the session bus);
// requests that fell due while the app was closed are shown once at the next
// start. A request leaves the pending list once the service took it; while the
// service cannot be reached it is tried again every minute.
//
// Authorization is granted exactly when the notification service answers.
// Every answer comes back on the main thread, and only while the `context`
// given with the call lives.
class UserNotificationCenter : public QObject
{
    Q_OBJECT
public:
    enum AuthorizationOption { Badge = 1, Sound = 2, Alert = 4 };
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
    bool save(QString* error);
    void scheduleTimer();
    void deliverDue();
    void notify(const UserNotificationRequest& request);
    void onNotified(const UserNotificationRequest& request, const QString& error);
    void withCapabilities(std::function<void(bool reachable)> then);
    QDBusConnection bus();
    template <typename Fn>
    void answer(QObject* context, Fn fn);
    QDateTime now() const;

    QString m_storePath;
    std::optional<QDBusConnection> m_injectedBus;
    QString m_connectionName;
    QList<UserNotificationRequest> m_pending;
    QSet<QString> m_inFlight;
    std::optional<QStringList> m_capabilities;
    QDateTime m_retryAfter;
    bool m_failureLogged = false;
    Clock m_clock;
    QTimer m_timer;
};
