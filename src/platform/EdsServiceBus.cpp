// Finding and starting the calendar service takes only the session bus, so it
// stays in the app: deciding on the store loads none of the service's client.

#include "platform/EdsCalendarStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

bool EdsCalendarStore::serviceRunning(const QDBusConnection& bus)
{
    return bus.isConnected() && bus.interface()
        && bus.interface()->isServiceRegistered(QLatin1String(kRegistryBusName)).value();
}

bool EdsCalendarStore::serviceInstalled(const QDBusConnection& bus)
{
    if (serviceRunning(bus))
        return true;
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<QStringList> names = bus.interface()->activatableServiceNames();
    return names.isValid() && names.value().contains(QLatin1String(kRegistryBusName));
}

bool EdsCalendarStore::startService(const QDBusConnection& bus, int timeoutMs, QString* error)
{
    if (serviceRunning(bus))
        return true;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("StartServiceByName"));
    call << QString::fromLatin1(kRegistryBusName) << quint32(0);
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (error)
            *error = reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply")
                         ? QStringLiteral("%1 秒内未启动").arg((timeoutMs + 999) / 1000)
                         : reply.errorMessage();
        return false;
    }
    return serviceRunning(bus);
}
