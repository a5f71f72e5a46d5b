#include "ProcessActivity.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

ProcessActivity::ProcessActivity(const QString& reason)
    : ProcessActivity(reason, QDBusConnection::systemBus())
{
}

ProcessActivity::ProcessActivity(const QString& reason, const QDBusConnection& connection)
{
    QDBusConnection bus = connection;
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    const QString who = QCoreApplication::applicationName().isEmpty()
        ? QStringLiteral("Tessary")
        : QCoreApplication::applicationName();
    call << QStringLiteral("sleep:idle") << who << reason << QStringLiteral("block");
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return;
    auto fd = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
    if (fd.isValid())
        m_lock = std::make_unique<QDBusUnixFileDescriptor>(fd);
}

// logind drops the inhibitor when the last copy of its descriptor closes,
// which the descriptor object does on destruction.
ProcessActivity::~ProcessActivity() = default;

bool ProcessActivity::isHeld() const
{
    return m_lock && m_lock->isValid();
}
