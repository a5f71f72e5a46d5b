#include "FtpPassiveListener.h"

#include <sys/socket.h>
#include <unistd.h>

FtpPassiveListener::FtpPassiveListener(const QHostAddress& allowedPeer, QObject* parent)
    : QTcpServer(parent)
    , m_allowedPeer(allowedPeer)
{
}

void FtpPassiveListener::incomingConnection(qintptr fd)
{
    sockaddr_storage peer{};
    socklen_t length = sizeof(peer);
    const bool known = ::getpeername(int(fd), reinterpret_cast<sockaddr*>(&peer), &length) == 0;
    const QHostAddress address(reinterpret_cast<const sockaddr*>(&peer));
    if (!known || !address.isEqual(m_allowedPeer, QHostAddress::ConvertV4MappedToIPv4)) {
        ::close(int(fd));
        return;
    }
    Q_EMIT connectionArrived(int(fd));
}
