#include "FtpTestSupport.h"

#include <QElapsedTimer>
#include <QPair>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>

using namespace FtpTest;

// A camera that drops off the network right after its command: the reply
// cannot be written, and the session must end without touching the transfer
// it was about to start.
TEST(FtpRobustness, ControlResetRightAfterATransferCommand)
{
    Server s;
    for (const char* command : {"STOR a.jpg\r\n", "LIST\r\n", "STOR b.jpg\r\nNOOP\r\n"}) {
        for (int round = 0; round < 5; ++round) {
            Client c(s.port());
            c.reply();
            ASSERT_TRUE(c.login());
            auto data = c.openData();
            ASSERT_TRUE(data);
            c.send(command);
            resetConnection(c.socket);
            EXPECT_TRUE(data->waitForDisconnected(kWaitMs) || data->state() == QAbstractSocket::UnconnectedState);
        }
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.server.sessionCount() == 0; }, kWaitMs));
    EXPECT_FALSE(QFile::exists(s.path("a.jpg")));
    EXPECT_FALSE(QFile::exists(s.path("b.jpg")));
    Client after(s.port());
    EXPECT_EQ(after.reply(), "220 FTP Server Ready");
}

// A client that sends commands but never reads the replies is held back by
// TCP: the server stops reading instead of queueing replies without end.
TEST(FtpRobustness, UnreadRepliesStopTheReadingOfCommands)
{
    Server s;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_GE(fd, 0);
    const int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &small, sizeof(small));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(s.port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            pollfd p{fd, POLLOUT, 0};
            return ::poll(&p, 1, 0) == 1;
        },
        kWaitMs));

    // Each 6-byte command asks for a 46-byte reply.
    QByteArray commands;
    for (int i = 0; i < 10000; ++i)
        commands += "EPSV\r\n";
    // Unchecked, the server would take all of this and queue over 120 MB of replies.
    constexpr qint64 kCap = 16 * 1024 * 1024;
    qint64 written = 0;
    QElapsedTimer idle;
    idle.start();
    while (written < kCap && idle.elapsed() < 200) {
        const ssize_t n = ::send(fd, commands.constData(), size_t(commands.size()), MSG_NOSIGNAL);
        if (n > 0) {
            written += n;
            idle.restart();
        } else {
            QThread::msleep(5);
        }
    }
    ::close(fd);
    EXPECT_LT(written, kCap);
}

namespace {

// The kernel's timer on the server's end of a loopback connection, as
// (timer kind, seconds left) from /proc/net/tcp{,6}; kind 2 is keep-alive.
std::optional<QPair<int, double>> serverSideTimer(quint16 serverPort, quint16 clientPort)
{
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() < 6 || !fields[1].contains(':'))
                continue;
            const quint16 local = fields[1].split(':').last().toUShort(nullptr, 16);
            const quint16 remote = fields[2].split(':').last().toUShort(nullptr, 16);
            if (local != serverPort || remote != clientPort)
                continue;
            const QList<QByteArray> timer = fields[5].split(':');
            return QPair<int, double>{timer[0].toInt(nullptr, 16), timer[1].toLongLong(nullptr, 16) / 100.0};
        }
    }
    return std::nullopt;
}

}

// A camera that vanishes without closing is found out by keep-alive probes, so
// dead sessions do not pile up against the session limit.
TEST(FtpRobustness, SilentControlConnectionsAreProbed)
{
    Server s;
    Client c(s.port());
    EXPECT_EQ(c.reply(), "220 FTP Server Ready");
    std::optional<QPair<int, double>> timer;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            timer = serverSideTimer(s.port(), c.socket.localPort());
            return timer && timer->first == 2;
        },
        kWaitMs));
    ASSERT_TRUE(timer);
    EXPECT_EQ(timer->first, 2);
    EXPECT_LE(timer->second, 61.0);
}
