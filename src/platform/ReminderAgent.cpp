#include "ReminderAgent.h"

#include "Log.h"
#include "Paths.h"
#include "Product.h"
#include "UserNotificationCenter.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

QString& executableOverride()
{
    static QString path;
    return path;
}

// An Exec value per the desktop entry rules: quoted, with ", `, $ and \ escaped.
QString execQuoted(const QString& path)
{
    QString escaped;
    for (const QChar c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            escaped += '\\';
        escaped += c;
    }
    // The desktop entry format escapes backslashes once more.
    escaped.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return '"' + escaped + '"';
}

QDBusConnection sessionBus(const QString& name)
{
    const QString address = UserNotificationCenter::sessionBusAddress();
    if (address.isEmpty())
        return QDBusConnection(name);
    return QDBusConnection::connectToBus(address, name);
}

}

int ReminderAgent::run()
{
    QDBusConnection bus = sessionBus(QStringLiteral("tessary-reminders"));
    if (!bus.isConnected() || !bus.interface()) {
        Log::line(QStringLiteral("🔔 [提醒] 没有会话总线，提醒代理退出"));
        return 1;
    }
    // The session ending ends the agent, wherever in its start that comes:
    // the watch is in place before anything else is asked of the bus, and
    // each step after it looks whether the bus went meanwhile, since an end
    // that came before the watch is never reported.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"), QStringLiteral("org.freedesktop.DBus.Local"),
                QStringLiteral("Disconnected"), QCoreApplication::instance(), SLOT(quit()));
    auto sessionEnded = [&bus] {
        if (bus.isConnected())
            return false;
        Log::line(QStringLiteral("🔔 [提醒] 会话总线已断开，提醒代理退出"));
        return true;
    };
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
        QString::fromLatin1(UserNotificationCenter::kAgentService), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (sessionEnded())
        return 0;
    if (!reply.isValid()) {
        Log::line(QStringLiteral("🔔 [提醒] 无法取得提醒代理的总线名: ") + reply.error().message());
        return 1;
    }
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        Log::line(QStringLiteral("🔔 [提醒] 提醒代理已在运行，本进程退出"));
        return 0;
    }
    UserNotificationCenter center(UserNotificationCenter::defaultStorePath(), bus,
                                  UserNotificationCenter::Role::Agent);
    // From here the watch's quit comes through the event loop.
    if (sessionEnded())
        return 0;
    return QCoreApplication::exec();
}

QString ReminderAgent::executablePath()
{
    if (!executableOverride().isEmpty())
        return executableOverride();
    const QString beside = QCoreApplication::applicationDirPath() + '/' + QLatin1String(kExecutableName);
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable(QString::fromLatin1(kExecutableName));
}

void ReminderAgent::setExecutablePath(const QString& path)
{
    executableOverride() = path;
}

QString ReminderAgent::autostartPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart/")
        + QLatin1String(kExecutableName) + QStringLiteral(".desktop");
}

bool ReminderAgent::setAutostart(bool enabled)
{
    const QString path = autostartPath();
    if (!enabled) {
        if (QFile::exists(path) && !QFile::remove(path)) {
            Log::line(QStringLiteral("🔔 [提醒] 无法删除自动启动项: ") + path);
            return false;
        }
        return true;
    }
    const QString program = executablePath();
    if (program.isEmpty()) {
        Log::line(QStringLiteral("🔔 [提醒] 找不到提醒代理程序，未写入自动启动项"));
        return false;
    }
    const QByteArray entry = "[Desktop Entry]\nType=Application\nName=" + QByteArray(Product::kDisplayName)
        + " 拍摄提醒\n"
                             "Comment=软件退出后仍按时推送拍摄提醒\nExec="
        + execQuoted(QFileInfo(program).absoluteFilePath()).toUtf8()
        + "\nNoDisplay=true\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
    const QString failure = Paths::saveAtomically(path, entry);
    if (!failure.isEmpty())
        Log::line(QStringLiteral("🔔 [提醒] 无法写入自动启动项: ") + failure);
    return failure.isEmpty();
}

void ReminderAgent::startIfNotRunning()
{
    const QString program = executablePath();
    if (program.isEmpty())
        return;
    {
        QDBusConnection bus = sessionBus(QStringLiteral("tessary-agent-check"));
        const bool running = bus.isConnected() && bus.interface()
            && bus.interface()->isServiceRegistered(QString::fromLatin1(UserNotificationCenter::kAgentService)).value();
        if (!bus.isConnected() || running) {
            QDBusConnection::disconnectFromBus(QStringLiteral("tessary-agent-check"));
            return;
        }
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("tessary-agent-check"));
    // Detached, so it outlives the app; a second one started meanwhile exits.
    if (!QProcess::startDetached(program, {}))
        Log::line(QStringLiteral("🔔 [提醒] 无法启动提醒代理: ") + program);
}

void ReminderAgent::applyAtLaunch(bool localNotificationsOn)
{
    setAutostart(localNotificationsOn);
    if (localNotificationsOn)
        startIfNotRunning();
}

void ReminderAgent::localNotificationsSwitched(bool on)
{
    applyAtLaunch(on);
}
