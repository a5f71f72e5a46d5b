#pragma once

#include "ftp/FtpSessionOptions.h"

#include <QAbstractSocket>
#include <QList>
#include <QObject>

class FtpSession;
class QTcpServer;

// The control-port listener and its sessions, on the server's worker thread.
// Every member is called on that thread only.
class FtpListener : public QObject
{
    Q_OBJECT
public:
    explicit FtpListener(QObject* parent = nullptr);
    ~FtpListener() override;

    // Listens on every address at `port`; on failure `error` says why.
    bool listen(quint16 port, const FtpSessionOptions& options, QString* error,
                QAbstractSocket::SocketError* errorKind, quint16* boundPort);
    // Closes the listener and stops every session.
    void close();
    int sessionCount() const { return int(m_sessions.size()); }

Q_SIGNALS:
    // The listener stopped accepting while running.
    void failed(const QString& message);

private:
    void acceptConnections();

    QTcpServer* m_server = nullptr;
    QList<FtpSession*> m_sessions;
    FtpSessionOptions m_options;
};
