#include "FtpTestSupport.h"

#include <QElapsedTimer>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

using namespace FtpTest;

namespace {

// Sends each command in turn and expects its exact reply.
struct Step
{
    const char* command;
    const char* reply;
};

void play(Client& c, std::initializer_list<Step> steps)
{
    for (const Step& step : steps)
        EXPECT_EQ(c.command(QString::fromUtf8(step.command)), QString::fromUtf8(step.reply)) << step.command;
}

}

TEST(FtpSession, GreetingAndFixedReplies)
{
    Server s;
    Client c(s.port());
    EXPECT_EQ(c.reply(), "220 FTP Server Ready");
    play(c, {{"SYST", "215 UNIX Type: L8"}, {"pwd", "257 \"/\" is current directory"},
             {"XPWD", "257 \"/\" is current directory"}, {"CWD /", "250 Directory changed"},
             {"CWD .", "250 Directory changed"}, {"CWD", "250 Directory changed"},
             {"CWD /DCIM", "550 Only root directory is available"}, {"TYPE I", "200 Type set OK"},
             {"NOOP", "200 NOOP OK"}, {"OPTS UTF8 ON", "200 OK"}, {"FEAT", "211 No extensions"},
             {"EPSV", "522 Network protocol not supported, use PASV"}});
    EXPECT_NE(c.pasv(), 0);
    for (const char* verb : {"RETR a.jpg", "PORT 127,0,0,1,4,1", "SIZE a", "MDTM a", "DELE a", "MKD x", "RMD x",
                             "RNFR a", "RNTO b", "CDUP", "APPE a", "BOGUS", ""})
        EXPECT_EQ(c.command(verb), "502 Command not implemented") << verb;
    play(c, {{"ABOR", "226 Abort successful"}, {"LIST", "530 Not logged in"}, {"STOR a.jpg", "530 Not logged in"}, {"ALLO 1", "530 Not logged in"},
             {"QUIT", "221 Goodbye"}});
    EXPECT_TRUE(c.waitClosed());
}

TEST(FtpSession, LoginsFollowStoredAccountAndPermissions)
{
    Server s;
    setPref("ftpUsername", QStringLiteral("Cam"));
    setPref("ftpPassword", QStringLiteral("s3cret"));
    Client c(s.port());
    c.reply();
    // The name is case-sensitive and trimmed, the password is not trimmed.
    play(c, {{"PASS s3cret", "530 Login incorrect"}, {"USER Cam", "331 User name okay, need password"},
             {"PASS wrong", "530 Login incorrect"}, {"LIST", "530 Not logged in"},
             {"USER cam", "331 User name okay, need password"}, {"PASS s3cret", "530 Login incorrect"},
             {"USER  \tCam ", "331 User name okay, need password"}, {"PASS  s3cret", "530 Login incorrect"},
             {"USER   Cam", "331 User name okay, need password"}, {"PASS s3cret", "230 Login successful"}});

    // Read only: login and listing, no upload; changes apply without a restart.
    setPref("ftpUserPerm", QStringLiteral("只读"));
    EXPECT_EQ(c.command("STOR a.jpg"), "550 Permission denied");
    setPref("ftpUserPerm", QStringLiteral("禁用"));
    // The earlier name is kept, but a disabled account cannot log in with it.
    play(c, {{"STOR a.jpg", "550 Permission denied"}, {"LIST", "425 Use PASV first"},
             {"USER Cam", "530 User login disabled"}, {"PASS s3cret", "530 User login disabled"},
             {"LIST", "530 Not logged in"}});
    EXPECT_FALSE(QFile::exists(s.path("a.jpg")));

    // Anonymous logins follow their own permission.
    EXPECT_EQ(c.command("USER Anonymous"), "530 Anonymous access disabled");
    setPref("ftpAnonPerm", QStringLiteral("只读"));
    play(c, {{"USER anonymous", "331 Anonymous login OK, send password"}, {"PASS", "230 Anonymous login successful"}});
    auto data = c.openData();
    ASSERT_TRUE(data);
    play(c, {{"LIST", "150 Opening data connection"}});
    EXPECT_EQ(c.reply(), kComplete);
    EXPECT_EQ(c.upload("a.jpg"), "550 Permission denied");

    setPref("ftpAnonPerm", QStringLiteral("读写"));
    EXPECT_EQ(c.upload("a.jpg", "jpeg"), kComplete);
    EXPECT_EQ(readFile(s.path("a.jpg")), "jpeg");

    setPref("ftpAnonPerm", QStringLiteral("禁用"));
    // The earlier USER anonymous still stands, but the permission is read again.
    play(c, {{"USER ANONYMOUS", "530 Anonymous access disabled"}, {"PASS x", "530 Anonymous access disabled"}});
}

TEST(FtpSession, CommandsAreFramedAsLinesAndTenFailedLoginsClose)
{
    Server s;
    Client c(s.port());
    c.reply();
    // Each step's bytes go out as one segment and get exactly these replies.
    const std::pair<QByteArray, QStringList> steps[] = {
        {"NOOP\r\nSYST\r\n", {"200 NOOP OK", "215 UNIX Type: L8"}},
        {"NO", {}}, // a command split over segments is one command; a bare LF ends a line too
        {"OP\nFEAT\r\n", {"200 NOOP OK", "211 No extensions"}},
        {"NOOP \xff\xfe\r\nSYST\r\n", {"215 UNIX Type: L8"}}, // not UTF-8: no reply
        {"NOOP " + QByteArray(5000, 'x'), {"500 Line too long"}}, // over 4 KiB: one 500, then on
        {QByteArray(3000, 'y') + "\r\nNOOP\r\n", {"200 NOOP OK"}},
        {"NOOP " + QByteArray(4500, 'z') + "\r\nSYST\r\n", {"500 Line too long", "215 UNIX Type: L8"}},
    };
    for (const auto& [sent, replies] : steps) {
        c.send(sent);
        QTest::qWait(replies.isEmpty() ? 50 : 0);
        for (const QString& expected : replies)
            EXPECT_EQ(c.reply(), expected) << sent.left(20).toStdString();
    }
    // A 227 held back for a moment still comes before the reply to the command after it.
    c.send("PASV\r\nNOOP\r\n");
    EXPECT_NE(Client::passivePort(c.reply()), 0);
    EXPECT_EQ(c.reply(), "200 NOOP OK");

    // Ten failed logins close the connection.
    for (int i = 0; i < 10; ++i)
        play(c, {{"USER 482917", "331 User name okay, need password"}, {"PASS 000000", "530 Login incorrect"}});
    EXPECT_TRUE(c.waitClosed());
}

TEST(FtpSession, FailedLoginIsAnsweredAfterASecond)
{
    Server s(std::chrono::milliseconds(1000));
    Client c(s.port());
    c.reply();
    c.command("USER 482917");
    // Commands sent meanwhile wait their turn behind the delayed reply.
    c.send("PASS nope\r\nNOOP\r\n");
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(c.reply(), "530 Login incorrect");
    EXPECT_GE(timer.elapsed(), 900);
    EXPECT_EQ(c.reply(), "200 NOOP OK");
    EXPECT_TRUE(c.login());
}

TEST(FtpSession, AlloAnnouncesTheSizeTheNextUploadMustReach)
{
    Server s;
    Client c(s.port(), true);
    ASSERT_TRUE(c.ready);
    const QString cutShort = QStringLiteral("451 Requested action aborted: local error in processing");
    struct Case
    {
        const char* allo;
        QString name;
        QByteArray bytes;
        QString reply;
    };
    const QList<Case> cases{
        {"ALLO 5", "exact.jpg", "bytes", kComplete},
        {"ALLO 500000", "short.jpg", "bytes", cutShort},
        {"ALLO 5 R 512", "record.jpg", "byte", cutShort},
        {"ALLO 3", "more.jpg", "bytes", kComplete},
        {"ALLO x", "unreadable.jpg", "b", kComplete},
        {nullptr, "none.jpg", "", kComplete},
        // An ALLO speaks for the next STOR only, even one refused.
        {"ALLO 500000", "taken.jpg", "bytes", "550 File exists"},
        {nullptr, "after.jpg", "b", kComplete},
    };
    ASSERT_TRUE(writeFile(s.path("taken.jpg"), "old"));
    for (const Case& k : cases) {
        if (k.allo)
            EXPECT_EQ(c.command(k.allo), "202 ALLO command ignored");
        EXPECT_EQ(c.upload(k.name, k.bytes), k.reply) << k.name.toStdString();
        if (k.reply == kComplete)
            EXPECT_EQ(readFile(s.path(k.name)), k.bytes) << k.name.toStdString();
        else if (k.name != "taken.jpg")
            EXPECT_FALSE(QFile::exists(s.path(k.name))) << k.name.toStdString();
    }
    EXPECT_EQ(readFile(s.path("taken.jpg")), "old");
    EXPECT_EQ(bytesReceived(s.root()), 0);
}

// A camera that drops off the network right after its command: the reply
// cannot be written, and the session must end without touching the transfer
// it was about to start.
TEST(FtpRobustness, HangUpOrResetRightAfterATransferCommandEndsTheSession)
{
    Server s;
    auto hungUp = std::make_unique<Client>(s.port(), true);
    const quint16 dataPort = hungUp->pasv();
    ASSERT_NE(dataPort, 0);
    hungUp->socket.disconnectFromHost();
    hungUp.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.server.sessionCount() == 0; }, kWaitMs));
    EXPECT_FALSE(Client::dataTo(dataPort)) << "the data listener ends with the session";

    for (const char* command : {"STOR a.jpg\r\n", "LIST\r\n", "STOR b.jpg\r\nNOOP\r\n"}) {
        for (int round = 0; round < 5; ++round) {
            Client c(s.port(), true);
            auto data = c.openData();
            ASSERT_TRUE(c.ready && data);
            c.send(command);
            resetConnection(c.socket);
            EXPECT_TRUE(closed(*data));
        }
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.server.sessionCount() == 0; }, kWaitMs));
    EXPECT_TRUE(s.entries().isEmpty());
    Client after(s.port());
    EXPECT_EQ(after.reply(), "220 FTP Server Ready");
}

// A client that sends commands but never reads the replies is held back by
// TCP: the server stops reading instead of queueing replies without end.
TEST(FtpRobustness, UnreadRepliesStopTheReadingOfCommands)
{
    Server s;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int small = 4096;
    for (int option : {SO_RCVBUF, SO_SNDBUF})
        ::setsockopt(fd, SOL_SOCKET, option, &small, sizeof(small));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(s.port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    // Each 6-byte command asks for a 46-byte reply: unchecked, the server
    // would take all of this and queue over 120 MB of replies.
    const QByteArray commands = QByteArray("EPSV\r\n").repeated(10000);
    constexpr qint64 kCap = 16 * 1024 * 1024;
    qint64 written = 0;
    QElapsedTimer idle;
    idle.start();
    while (written < kCap && idle.elapsed() < 200) {
        const ssize_t n = ::send(fd, commands.constData(), size_t(commands.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            written += n, idle.restart();
        else
            QThread::msleep(5);
    }
    ::close(fd);
    EXPECT_LT(written, kCap);
}

// A camera that vanishes without closing is found out by keep-alive probes, so
// dead sessions do not pile up against the session limit.
TEST(FtpRobustness, SilentControlConnectionsAreProbed)
{
    Server s;
    Client c(s.port());
    EXPECT_EQ(c.reply(), "220 FTP Server Ready");
    // The server end's timer in /proc/net/tcp{,6} reads "kind:jiffies left"; kind 2 is keep-alive.
    auto hex = [](quint16 port) { return QStringLiteral(":%1").arg(port, 4, 16, QLatin1Char('0')).toUpper(); };
    QString timer;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QFile v4("/proc/net/tcp"), v6("/proc/net/tcp6");
            v4.open(QIODevice::ReadOnly);
            v6.open(QIODevice::ReadOnly);
            for (const QString& line : QString(v4.readAll() + v6.readAll()).split('\n')) {
                const QStringList f = line.simplified().split(' ');
                if (f.size() > 5 && f[1].endsWith(hex(s.port())) && f[2].endsWith(hex(c.socket.localPort())))
                    timer = f[5];
            }
            return timer.startsWith("02:");
        },
        kWaitMs));
    EXPECT_LE(timer.mid(3).toLongLong(nullptr, 16) / 100.0, 61.0);
}
