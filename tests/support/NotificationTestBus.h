#pragma once

#include "ChildProcess.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QEventLoop>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QVariantMap>

#include <functional>
#include <memory>

#include "TestEnv.h"

// A private session bus for one test, and a stand-in for the desktop's
// notification service that records every Notify call.
class NotificationTestService : public QDBusVirtualObject
{
public:
    struct Call {
        QString appIcon;
        QString summary;
        QString body;
        QVariantMap hints;
        int expireTimeout = 0;
    };

    QList<Call> calls;
    QStringList capabilities{"body", "sound"};
    // Runs when a caller asks for the capabilities, before the answer goes out.
    std::function<void()> onCapabilities;
    // Notify is answered with this error (the call is not recorded) when set.
    QString refuseWith;
    // Notify is recorded but never answered, as by a daemon that hangs.
    bool silent = false;
    // When set, only this many Notify calls are answered; later ones are
    // recorded and never answered.
    qsizetype answerFirst = -1;

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        QDBusMessage reply;
        const QList<QVariant> args = message.arguments();
        if (message.member() == "Notify" && args.size() == 8 && !refuseWith.isEmpty()) {
            reply = message.createErrorReply(refuseWith, "refused");
        } else if (message.member() == "Notify" && args.size() == 8) {
            calls.append({args[2].toString(), args[3].toString(), args[4].toString(), qdbus_cast<QVariantMap>(args[6]),
                          args[7].toInt()});
            if (silent || (answerFirst >= 0 && calls.size() > answerFirst))
                return true;
            reply = message.createReply(QVariant::fromValue(uint(calls.size())));
        } else if (message.member() == "GetCapabilities") {
            if (onCapabilities)
                onCapabilities();
            reply = message.createReply(QVariant(capabilities));
        } else {
            reply = message.createErrorReply(QDBusError::UnknownMethod, message.member());
        }
        connection.send(reply);
        return true;
    }
};

class NotificationTestBus
{
public:
    // `listen` is the bus's listening address; `exportAddress` false leaves
    // DBUS_SESSION_BUS_ADDRESS unset.
    explicit NotificationTestBus(const QString& listen = inTestFolder(), bool exportAddress = true)
    {
        // Our own configuration: no activatable services, so "no service"
        // means no service.
        const QString config = TestEnv::root() + "/test-bus.conf";
        QFile f(config);
        f.open(QIODevice::WriteOnly);
        f.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                "<busconfig><type>session</type><listen>" + listen.toUtf8() + "</listen><auth>EXTERNAL</auth>"
                "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        f.close();
        m_daemon.start("dbus-daemon", {"--config-file=" + config, "--print-address", "--nofork"});
        m_daemon.waitForStarted(5000);
        m_address = QString::fromUtf8(nextLine(m_daemon, 10000)).trimmed();
        if (exportAddress)
            qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
    }

    ~NotificationTestBus()
    {
        end();
        stopService();
        QDBusConnection::disconnectFromBus(watchName());
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    QString address() const { return m_address; }
    bool running() const { return m_daemon.state() != QProcess::NotRunning; }

    // Ends the bus at once, as a session's end does: every connection to it
    // sees it go. Safe from within the stand-in service's own handler.
    void end()
    {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

    // Waits for `name` to have an owner, told by the bus as it happens: a
    // probe that asked again and again would keep the bus daemon and this
    // process waking, which on a loaded machine starves a process of a
    // session of its own (a detached start) for as long as it goes on.
    bool waitForOwner(const QString& name, int ms)
    {
        QDBusConnection c = watcher();
        if (!c.isConnected())
            return false;
        QEventLoop loop;
        QDBusServiceWatcher watch(name, c, QDBusServiceWatcher::WatchForRegistration);
        QObject::connect(&watch, &QDBusServiceWatcher::serviceRegistered, &loop, &QEventLoop::quit);
        // Asked once the watch is in place, so an owner that came first counts.
        if (c.interface()->isServiceRegistered(name).value())
            return true;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
        return c.interface()->isServiceRegistered(name).value();
    }

    // The process that owns `name` on this bus; 0 for none.
    uint ownerPid(const QString& name)
    {
        QDBusConnection c = watcher();
        return c.isConnected() ? c.interface()->servicePid(name).value() : 0;
    }

    // A killed daemon leaves its socket behind: keep it in the test's own folder.
    static QString inTestFolder() { return "unix:tmpdir=" + QDir::tempPath(); }

    NotificationTestService& startService()
    {
        m_service = std::make_unique<NotificationTestService>();
        QDBusConnection c = QDBusConnection::connectToBus(m_address, "test-notification-service");
        c.registerVirtualObject("/org/freedesktop/Notifications", m_service.get());
        c.registerService("org.freedesktop.Notifications");
        return *m_service;
    }

    void stopService()
    {
        if (!m_service)
            return;
        QDBusConnection c("test-notification-service");
        c.unregisterService("org.freedesktop.Notifications");
        c.unregisterObject("/org/freedesktop/Notifications");
        QDBusConnection::disconnectFromBus("test-notification-service");
        m_service.reset();
    }

private:
    QString watchName() const { return "test-bus-watch-" + m_address; }
    QDBusConnection watcher()
    {
        QDBusConnection c(watchName());
        return c.isConnected() ? c : QDBusConnection::connectToBus(m_address, watchName());
    }

    QProcess m_daemon;
    QString m_address;
    std::unique_ptr<NotificationTestService> m_service;
};
