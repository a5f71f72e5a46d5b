#pragma once

#include "ChildProcess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

#undef signals
#include <gio/gio.h>

// The desktop's calendar service (Evolution Data Server) on a private session
// bus, with its own folders under `root`: for tests and benchmarks, which run
// with no desktop session. Exports the bus to this process. Every daemon is
// stopped by its PID, and ends with this process even when it crashes.
class CalendarServiceDaemons
{
public:
    // How the bus offers the service: its daemons started here; not at all;
    // installed (the system's activation files) but not started; or installed
    // but never answering (a stand-in that never takes the name).
    enum class Mode { started, absent, activatable, unresponsive };

    explicit CalendarServiceDaemons(const QString& root, Mode mode = Mode::started)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* sub : {"home", "config", "data", "cache", "runtime"})
            QDir().mkpath(root + '/' + sub);
        QFile::setPermissions(root + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // The daemons must never see the real home, nor start dconf.
        env.insert("HOME", root + "/home");
        env.insert("XDG_CONFIG_HOME", root + "/config");
        env.insert("XDG_DATA_HOME", root + "/data");
        env.insert("XDG_CACHE_HOME", root + "/cache");
        env.insert("XDG_RUNTIME_DIR", root + "/runtime");
        env.insert("GSETTINGS_BACKEND", "memory");

        // Started: a bus with no activatable services, only the daemons started
        // here answer. Otherwise the bus starts what its service folder names.
        QByteArray services;
        if (mode == Mode::activatable)
            services = "<servicedir>/usr/share/dbus-1/services</servicedir>";
        if (mode == Mode::unresponsive) {
            QDir().mkpath(root + "/services");
            QFile stub(root + "/services/registry.service");
            stub.open(QIODevice::WriteOnly);
            stub.write("[D-BUS Service]\nName=org.gnome.evolution.dataserver.Sources5\nExec=/bin/sleep 4\n");
            services = "<servicedir>" + root.toUtf8() + "/services</servicedir>";
        }
        const QString config = root + "/bus.conf";
        QFile f(config);
        f.open(QIODevice::WriteOnly);
        f.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n<busconfig><type>session</type>"
                "<listen>unix:tmpdir=" + root.toUtf8() + "/runtime</listen><auth>EXTERNAL</auth>" + services +
                "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                "<allow own=\"*\"/></policy></busconfig>\n");
        f.close();
        start(m_bus, env, "dbus-daemon", {"--config-file=" + config, "--print-address", "--nofork"});
        m_address = QString::fromUtf8(nextLine(m_bus, 10000)).trimmed();
        env.insert("DBUS_SESSION_BUS_ADDRESS", m_address);
        exportSession();
        // The bus goes away before this process does: that must not end it.
        // The reference is kept, so the library's clients get this connection
        // (it is the process's one: buses without the service do not take it).
        if (mode == Mode::started || mode == Mode::activatable) {
            if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr))
                g_dbus_connection_set_exit_on_close(bus, FALSE);
        }
        if (mode != Mode::started) {
            m_ready = !m_address.isEmpty();
            return;
        }

        // The registry first: a factory started alongside may activate another
        // one with the wrong folders.
        start(m_registry, env, "/usr/libexec/evolution-source-registry", {});
        m_ready = waitForName("org.gnome.evolution.dataserver.Sources5");
        start(m_factory, env, "/usr/libexec/evolution-calendar-factory", {"-r"});
        m_ready = m_ready && waitForName("org.gnome.evolution.dataserver.Calendar8");
    }
    ~CalendarServiceDaemons() { stop(); }
    CalendarServiceDaemons(const CalendarServiceDaemons&) = delete;
    CalendarServiceDaemons& operator=(const CalendarServiceDaemons&) = delete;

    bool ready() const { return m_ready; }
    QString address() const { return m_address; }
    // What the service's clients in this process need, whatever was reset since.
    void exportSession() const
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
        qputenv("GSETTINGS_BACKEND", "memory");
    }
    // Stops the calendar factory and the backends it runs where they stand
    // (SIGSTOP), as a stuck service would be, or lets them go on (SIGCONT).
    // Returns false when there is no factory to stop: a signal to pid 0
    // would stop this test's whole process group.
    bool setCalendarFactoryStopped(bool stopped) const
    {
        if (m_factory.processId() <= 0)
            return false;
        QList<qint64> pids{m_factory.processId()};
        for (qsizetype i = 0; i < pids.size(); ++i) {
            for (const QString& task : QDir(QStringLiteral("/proc/%1/task").arg(pids[i])).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                QFile children(QStringLiteral("/proc/%1/task/%2/children").arg(pids[i]).arg(task));
                if (children.open(QIODevice::ReadOnly))
                    for (const QByteArray& pid : children.readAll().split(' '))
                        if (pid.trimmed().toLongLong() > 0)
                            pids.append(pid.trimmed().toLongLong());
            }
        }
        for (const qint64 pid : pids)
            if (pid > 0)
                ::kill(pid_t(pid), stopped ? SIGSTOP : SIGCONT);
        return true;
    }
    // The calendar factory anew: no calendar is open in the service any more.
    bool restartFactory()
    {
        stopProcess(m_factory);
        QProcessEnvironment env = m_factory.processEnvironment();
        start(m_factory, env, "/usr/libexec/evolution-calendar-factory", {"-r"});
        return waitForName("org.gnome.evolution.dataserver.Calendar8");
    }
    void stop()
    {
        // Backends run as children of the factory and leave with the bus.
        for (QProcess* p : {&m_factory, &m_registry, &m_bus})
            stopProcess(*p);
    }

    static void start(QProcess& p, const QProcessEnvironment& env, const QString& program, const QStringList& args)
    {
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.setChildProcessModifier([] {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            // A group of its own: a daemon a test stopped is never sent on by
            // the SIGCONT the kernel gives the test's group when the shell
            // that started it leaves.
            setpgid(0, 0);
        });
        p.start(program, args);
        p.waitForStarted(5000);
    }
    static void stopProcess(QProcess& p)
    {
        if (p.state() == QProcess::NotRunning)
            return;
        p.terminate();
        if (!p.waitForFinished(3000)) {
            p.kill();
            p.waitForFinished(3000);
        }
    }

private:
    bool waitForName(const char* name)
    {
        QDBusConnection c = QDBusConnection::connectToBus(m_address, "calendar-service-watch");
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            if (c.interface() && c.interface()->isServiceRegistered(QLatin1String(name)).value())
                return true;
            QThread::msleep(20);
        }
        return false;
    }

    QProcess m_bus;
    QProcess m_registry;
    QProcess m_factory;
    QString m_address;
    bool m_ready = false;
};
