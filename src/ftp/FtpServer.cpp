#include "FtpServer.h"

#include "ftp/FtpKeys.h"
#include "ftp/FtpListener.h"
#include "ftp/FtpUpload.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QMutex>
#include <QDir>
#include <QNetworkInterface>

namespace {

bool startsWithAny(const QString& name, std::initializer_list<const char*> prefixes)
{
    for (const char* prefix : prefixes) {
        if (name.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

}

struct FtpServer::LiveAccess
{
    QMutex mutex;
    FtpAccess access;

    FtpAccess current()
    {
        QMutexLocker lock(&mutex);
        return access;
    }
};

FtpServer::FtpServer(QObject* parent)
    : QObject(parent)
    , m_access(std::make_shared<LiveAccess>())
    , m_localIP(getLocalIP())
    , m_rootDirectory(QDir::homePath())
{
    m_thread.setObjectName(QStringLiteral("FtpServer"));
    // Refreshed on the writer's thread before its write returns, so a command
    // that follows a change is already judged by it.
    UserDefaults& store = UserDefaults::standard();
    m_access->access = FtpAccess::fromStore(store);
    connect(
        &store, &UserDefaults::changed, this,
        [access = m_access, &store](const QString& key) {
            if (!FtpAccess::dependsOn(key))
                return;
            FtpAccess fresh = FtpAccess::fromStore(store);
            QMutexLocker lock(&access->mutex);
            access->access = std::move(fresh);
        },
        Qt::DirectConnection);
    // The worker thread delivers nothing once the application is gone: close
    // every connection and remove partial uploads while it still can.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            shutDown();
            setRunning(false);
        });
}

FtpServer::~FtpServer()
{
    // Nothing is published from here: the owner may be half destroyed.
    shutDown();
}

void FtpServer::shutDown()
{
    if (m_listener) {
        FtpListener* listener = std::exchange(m_listener, nullptr);
        QMetaObject::invokeMethod(listener, [listener] { delete listener; }, Qt::BlockingQueuedConnection);
    }
    m_thread.quit();
    m_thread.wait();
}

void FtpServer::start(quint16 port, const QString& rootDirectory)
{
    if (m_running)
        stop();
    m_port = port;
    m_rootDirectory = rootDirectory;
    const QString address = getLocalIP();
    if (address != m_localIP) {
        m_localIP = address;
        Q_EMIT localIPChanged(m_localIP);
    }

    FtpUpload::removeLeftovers(rootDirectory);

    if (!m_listener) {
        m_thread.start();
        m_listener = new FtpListener;
        m_listener->moveToThread(&m_thread);
        connect(m_listener, &FtpListener::failed, this, &FtpServer::onListenerFailed, Qt::QueuedConnection);
    }

    FtpSessionOptions options;
    options.rootDirectory = rootDirectory;
    options.limits = m_limits;
    options.access = [access = m_access] { return access->current(); };
    options.localAddress = &FtpServer::getLocalIP;
    bool ok = false;
    QString error;
    QAbstractSocket::SocketError kind = QAbstractSocket::UnknownSocketError;
    quint16 bound = 0;
    FtpListener* listener = m_listener;
    QMetaObject::invokeMethod(
        listener, [&] { ok = listener->listen(port, options, &error, &kind, &bound); }, Qt::BlockingQueuedConnection);

    if (!ok) {
        m_lastError = error;
        m_lastStartError = kind;
        Q_EMIT errorOccurred(m_lastError);
        return;
    }
    m_boundPort = bound;
    m_lastError.clear();
    setRunning(true);
}

void FtpServer::stop()
{
    if (m_listener) {
        FtpListener* listener = m_listener;
        QMetaObject::invokeMethod(listener, [listener] { listener->close(); }, Qt::BlockingQueuedConnection);
    }
    setRunning(false);
}

bool FtpServer::isReceiving() const
{
    // One server per process in the app; a count for the process is the one that matters at quit.
    return m_running && FtpUpload::inProgress() > 0;
}

int FtpServer::sessionCount() const
{
    if (!m_listener)
        return 0;
    int count = 0;
    FtpListener* listener = m_listener;
    QMetaObject::invokeMethod(
        listener, [&] { count = listener->sessionCount(); }, Qt::BlockingQueuedConnection);
    return count;
}

void FtpServer::setRunning(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    Q_EMIT isRunningChanged(m_running);
}

void FtpServer::onListenerFailed(const QString& message)
{
    // A listener that no longer accepts must not show as running.
    if (!m_running)
        return;
    stop();
    m_lastError = message;
    Q_EMIT errorOccurred(m_lastError);
}

QString FtpServer::getLocalIP()
{
    QList<QPair<QString, QHostAddress>> entries;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        if (!interface.flags().testFlag(QNetworkInterface::IsUp))
            continue;
        for (const QNetworkAddressEntry& entry : interface.addressEntries())
            entries.append({interface.name(), entry.ip()});
    }
    return chooseLocalIP(entries);
}

QString FtpServer::chooseLocalIP(const QList<QPair<QString, QHostAddress>>& entries)
{
    // Wired and wireless LAN first, then a bridge that carries the LAN; tunnels
    // (VPN) are never what a camera can reach; any other interface (a virtual
    // machine's or a container's network) only when nothing better exists.
    QString candidate = QStringLiteral("127.0.0.1");
    for (const auto& [name, address] : entries) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        if (startsWithAny(name, {"lo", "tun", "wg", "utun"}))
            continue;
        const QString text = address.toString();
        if (text == u"127.0.0.1" || text == u"0.0.0.0" || text.startsWith(u"169.254."))
            continue;
        if (startsWithAny(name, {"en", "eth", "wl"}))
            return text;
        if (startsWithAny(name, {"br", "bridge"}) && !name.startsWith(u"br-"))
            return text;
        candidate = text;
    }
    return candidate;
}
