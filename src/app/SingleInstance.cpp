#include "SingleInstance.h"

#include "platform/FileLock.h"
#include "platform/Log.h"
#include "platform/Product.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace {
const QByteArray kActivate = "activate\n";
const QByteArray kDone = "ok\n";
constexpr int kConnectMs = 1000;
constexpr int kAnswerMs = 3000;
}

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
{
}

QString SingleInstance::serverName()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QStringLiteral("%1/%2-%3.socket")
        .arg(folder, QString::fromLatin1(Product::kSystemName), QString::number(::getuid()));
}

bool SingleInstance::claim()
{
    const QString name = serverName();
    // Two launches at once must not both find no answer and both listen: the
    // check and the listen happen under one lock. A dead process holds none;
    // taking it writes nothing, so no disk sync delays the window.
    const FileLock lock(name + QStringLiteral(".lock"), kAnswerMs);

    if (handOver())
        return false;
    // Nobody answered, so a socket file still there was left by a crash.
    QLocalServer::removeServer(name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name)) {
        // Running twice is better than not running at all.
        Log::line(QStringLiteral("⚠️ [启动] 无法监听单实例端口: ") + m_server->errorString());
        return true;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
    return true;
}

bool SingleInstance::handOver()
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(kConnectMs))
        return false;
    socket.write(kActivate);
    socket.waitForBytesWritten(kConnectMs);
    // An instance that listens is alive even when it is slow to answer; a
    // second window would still be wrong.
    while (!socket.canReadLine() && socket.waitForReadyRead(kAnswerMs)) {
    }
    Log::line(QStringLiteral("🔁 [启动] 已在运行，已切换到打开的窗口"));
    return true;
}

void SingleInstance::onConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kActivate.size())
                    socket->abort();
                return;
            }
            if (socket->readLine() == kActivate) {
                Log::line(QStringLiteral("🔁 [启动] 再次启动：显示窗口"));
                Q_EMIT activationRequested();
            }
            socket->write(kDone);
            socket->disconnectFromServer();
        });
    }
}
