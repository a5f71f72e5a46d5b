#include "FtpDataConnection.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <limits>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Blocks read per wake-up before the other sessions get their turn.
constexpr int kBlocksPerTurn = 8;
}

FtpDataConnection::FtpDataConnection(int fd, QObject* parent)
    : QObject(parent)
    , m_fd(fd)
{
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK);
}

FtpDataConnection::~FtpDataConnection()
{
    close();
}

void FtpDataConnection::close()
{
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    m_sink = nullptr;
    m_block = {};
}

void FtpDataConnection::send(const QByteArray& bytes)
{
    m_outgoing = bytes;
    m_sent = 0;
    if (m_fd < 0) {
        QTimer::singleShot(0, this, [this] { finishSend(false); });
        return;
    }
    m_writeNotifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Write, this);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &FtpDataConnection::onWritable);
}

void FtpDataConnection::onWritable()
{
    while (m_sent < m_outgoing.size()) {
        const ssize_t n = ::send(m_fd, m_outgoing.constData() + m_sent, size_t(m_outgoing.size() - m_sent),
                                 MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            finishSend(false);
            return;
        }
        m_sent += n;
    }
    finishSend(true);
}

void FtpDataConnection::finishSend(bool ok)
{
    // The client reads the listing up to the end of the stream, so close first.
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_WR);
    close();
    m_outgoing.clear();
    Q_EMIT sendFinished(ok);
}

void FtpDataConnection::receive(Sink sink)
{
    m_sink = std::move(sink);
    m_block.resize(size_t(kBlockSize));
    if (m_fd < 0) {
        QTimer::singleShot(0, this, [this] { Q_EMIT receiveFinished(End::ConnectionLost); });
        return;
    }
    m_readNotifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &FtpDataConnection::onReadable);
}

void FtpDataConnection::onReadable()
{
    if (const auto end = readAvailable(kBlocksPerTurn)) {
        close();
        Q_EMIT receiveFinished(*end);
    }
}

std::optional<FtpDataConnection::End> FtpDataConnection::drain()
{
    if (m_fd < 0 || !m_sink)
        return std::nullopt;
    const auto end = readAvailable(std::numeric_limits<int>::max());
    if (end)
        close();
    return end;
}

std::optional<FtpDataConnection::End> FtpDataConnection::readAvailable(int maxBlocks)
{
    for (int i = 0; i < maxBlocks; ++i) {
        const ssize_t n = ::recv(m_fd, m_block.data(), m_block.size(), 0);
        if (n > 0) {
            if (!m_sink(m_block.data(), qsizetype(n)))
                return End::SinkFailed;
            continue;
        }
        if (n == 0)
            return End::Complete;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return std::nullopt;
        return End::ConnectionLost;
    }
    return std::nullopt;
}
