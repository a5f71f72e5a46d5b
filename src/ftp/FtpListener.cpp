#include "FtpListener.h"

#include "ftp/FtpSession.h"

#include <QTcpServer>
#include <QTcpSocket>

FtpListener::FtpListener(QObject* parent)
    : QObject(parent)
{
}

FtpListener::~FtpListener()
{
    close();
}

bool FtpListener::listen(quint16 port, const FtpSessionOptions& options, QString* error,
                         QAbstractSocket::SocketError* errorKind, quint16* boundPort)
{
    close();
    m_options = options;
    auto* server = new QTcpServer(this);
    if (!server->listen(QHostAddress::Any, port)) {
        if (error)
            *error = server->errorString();
        if (errorKind)
            *errorKind = server->serverError();
        delete server;
        return false;
    }
    m_server = server;
    if (boundPort)
        *boundPort = server->serverPort();
    connect(server, &QTcpServer::newConnection, this, &FtpListener::acceptConnections);
    connect(server, &QTcpServer::acceptError, this, [this, server] {
        if (server == m_server)
            Q_EMIT failed(server->errorString());
    });
    return true;
}

void FtpListener::close()
{
    if (m_server) {
        m_server->close();
        m_server->deleteLater();
        m_server = nullptr;
    }
    const QList<FtpSession*> sessions = std::exchange(m_sessions, {});
    for (FtpSession* session : sessions) {
        session->disconnect(this);
        session->stop();
        delete session;
    }
}

void FtpListener::acceptConnections()
{
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket* socket = m_server->nextPendingConnection();
        if (!socket)
            break;
        if (m_sessions.size() >= m_options.limits.maxSessions) {
            socket->setParent(this);
            socket->write("421 Too many connections\r\n");
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromHost();
            if (socket->state() == QAbstractSocket::UnconnectedState)
                socket->deleteLater();
            continue;
        }
        auto* session = new FtpSession(socket, m_options, this);
        m_sessions.append(session);
        connect(session, &FtpSession::finished, this, [this](FtpSession* ended) {
            // A session that ended frees its place for the next camera.
            if (m_sessions.removeOne(ended))
                ended->deleteLater();
        });
        session->start();
    }
}
