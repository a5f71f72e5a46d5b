// The reminder agent at rest: 1,000 pending requests, idle for 60 s (or the
// seconds given as the first argument), on a private session bus with a
// stand-in notification service. Prints the agent's CPU time while idle, its
// peak memory, and how long after a change of the pending file a request
// that is due goes out. One "name: value" line per figure.

#include "platform/PendingNotificationStore.h"
#include "platform/UserNotificationCenter.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {

class StandInService : public QDBusVirtualObject
{
public:
    int calls = 0;
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() == "Notify")
            connection.send(message.createReply(QVariant::fromValue(uint(++calls))));
        else if (message.member() == "GetCapabilities")
            connection.send(message.createReply(QVariant(QStringList{"body"})));
        else
            connection.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
        return true;
    }
};

template <typename Pred>
bool waitFor(Pred done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return done();
}

// user + system CPU of `pid` in milliseconds.
double cpuMs(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

double peakRssMb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

UserNotificationRequest request(const QString& id, const QDateTime& when)
{
    UserNotificationRequest r;
    r.identifier = id;
    r.title = QStringLiteral("拍摄档期提醒");
    r.subtitle = QStringLiteral("客户 · 婚纱套餐");
    r.body = QStringLiteral("拍摄时间：") + when.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    r.trigger = UserNotificationTrigger::matching(when);
    return r;
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::max(1, atoi(argv[1])) : 60;
    QTemporaryDir root;
    for (const char* dir : {"home", "data", "config", "runtime"})
        QDir().mkpath(root.path() + '/' + dir);
    qputenv("HOME", (root.path() + "/home").toUtf8());
    qputenv("XDG_DATA_HOME", (root.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (root.path() + "/config").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (root.path() + "/runtime").toUtf8());

    const QString config = root.path() + "/bus.conf";
    QFile conf(config);
    conf.open(QIODevice::WriteOnly);
    conf.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
               "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n<busconfig><type>session</type>"
               "<listen>unix:tmpdir=" + root.path().toUtf8() + "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
               "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
               "</policy></busconfig>\n");
    conf.close();
    QProcess daemon;
    daemon.start("dbus-daemon", {"--config-file=" + config, "--print-address", "--nofork"});
    QString address;
    if (daemon.waitForStarted(5000) && daemon.waitForReadyRead(5000))
        address = QString::fromUtf8(daemon.readLine()).trimmed();
    if (address.isEmpty()) {
        std::printf("error: no dbus-daemon\n");
        return 1;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    StandInService service;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.registerVirtualObject("/org/freedesktop/Notifications", &service);
    bus.registerService("org.freedesktop.Notifications");

    PendingNotificationStore pending(root.path() + "/data/Kelvara/pending_notifications.json");
    const QDateTime tomorrow = QDateTime::currentDateTime().addDays(1);
    pending.update([&](PendingNotificationStore::Requests& list) {
        for (int i = 0; i < 1000; ++i)
            list.append(request(QStringLiteral("order_%1_reminder_0").arg(i), tomorrow.addSecs(i * 60)));
    });

    QProcess agent;
    agent.setProcessChannelMode(QProcess::ForwardedChannels);
    agent.start(TESSARY_AGENT_PATH, {});
    agent.waitForStarted(5000);
    if (!waitFor([&] { return bus.interface()->isServiceRegistered(UserNotificationCenter::kAgentService).value(); },
                 5000)) {
        std::printf("error: the agent did not start\n");
        return 1;
    }
    waitFor([] { return false; }, 1000); // settled after reading the list

    QElapsedTimer rearm;
    rearm.start();
    pending.update([&](PendingNotificationStore::Requests& list) {
        list.append(request(QStringLiteral("due_now"), QDateTime::currentDateTime()));
    });
    waitFor([&] { return service.calls > 0; }, 5000);
    std::printf("rearm_to_shown_ms: %.1f\n", double(rearm.nsecsElapsed()) / 1e6);
    std::fflush(stdout);

    const double before = cpuMs(agent.processId());
    waitFor([] { return false; }, idleSeconds * 1000);
    std::printf("idle_cpu_ms_%ds: %.1f\n", idleSeconds, cpuMs(agent.processId()) - before);
    std::printf("peak_rss_mb: %.1f\n", peakRssMb(agent.processId()));
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(agent.processId()));
    if (rollup.open(QIODevice::ReadOnly)) {
        // Shared library pages count in the figure above; the heap is the agent's own.
        for (const QByteArray& line : rollup.readAll().split('\n')) {
            if (line.startsWith("Anonymous:"))
                std::printf("anonymous_mb: %.1f\n", line.mid(10).trimmed().split(' ').first().toDouble() / 1024.0);
        }
    }
    std::printf("pending_left: %lld\n", qint64(pending.read().size()));

    std::fflush(stdout);
    agent.kill();
    agent.waitForFinished(3000);
    bus.unregisterService("org.freedesktop.Notifications");
    bus.unregisterObject("/org/freedesktop/Notifications");
    daemon.kill();
    daemon.waitForFinished(3000);
    return 0;
}
