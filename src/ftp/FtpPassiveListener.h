#pragma once

#include <QHostAddress>
#include <QTcpServer>

// The listener a PASV opens. It hands over raw descriptors, and only for
// connections from the control connection's own peer: anyone else who learns
// the port is turned away before a byte is read.
class FtpPassiveListener : public QTcpServer
{
    Q_OBJECT
public:
    explicit FtpPassiveListener(const QHostAddress& allowedPeer, QObject* parent = nullptr);

Q_SIGNALS:
    // The receiver owns `fd` from here on.
    void connectionArrived(int fd);

protected:
    void incomingConnection(qintptr fd) override;

private:
    QHostAddress m_allowedPeer;
};
