#include "FtpTestSupport.h"

#include <QElapsedTimer>

using namespace FtpTest;

TEST(FtpSession, GreetingAndFixedReplies)
{
    Server s;
    Client c(s.port());
    EXPECT_EQ(c.reply(), "220 FTP Server Ready");
    EXPECT_EQ(c.command("SYST"), "215 UNIX Type: L8");
    EXPECT_EQ(c.command("pwd"), "257 \"/\" is current directory");
    EXPECT_EQ(c.command("XPWD"), "257 \"/\" is current directory");
    EXPECT_EQ(c.command("CWD /"), "250 Directory changed");
    EXPECT_EQ(c.command("CWD ."), "250 Directory changed");
    EXPECT_EQ(c.command("CWD"), "250 Directory changed");
    EXPECT_EQ(c.command("CWD /DCIM"), "550 Only root directory is available");
    EXPECT_EQ(c.command("TYPE I"), "200 Type set OK");
    EXPECT_EQ(c.command("NOOP"), "200 NOOP OK");
    EXPECT_EQ(c.command("OPTS UTF8 ON"), "200 OK");
    EXPECT_EQ(c.command("FEAT"), "211 No extensions");
    EXPECT_EQ(c.command("EPSV"), "522 Network protocol not supported, use PASV");
    EXPECT_NE(c.pasv(), 0);
    for (const char* verb : {"RETR a.jpg", "PORT 127,0,0,1,4,1", "SIZE a", "MDTM a", "DELE a", "MKD x", "RMD x",
                             "RNFR a", "RNTO b", "CDUP", "APPE a", "BOGUS", ""})
        EXPECT_EQ(c.command(verb), "502 Command not implemented") << verb;
    EXPECT_EQ(c.command("ABOR"), "226 Abort successful");
    EXPECT_EQ(c.command("LIST"), "530 Not logged in");
    EXPECT_EQ(c.command("STOR a.jpg"), "530 Not logged in");
    EXPECT_EQ(c.command("QUIT"), "221 Goodbye");
    EXPECT_TRUE(c.waitClosed());
}

TEST(FtpSession, NamedLoginFollowsStoredAccountAndPermission)
{
    Server s;
    setPref("ftpUsername", QStringLiteral("Cam"));
    setPref("ftpPassword", QStringLiteral("s3cret"));
    Client c(s.port());
    c.reply();
    EXPECT_EQ(c.command("PASS s3cret"), "530 Login incorrect");
    EXPECT_EQ(c.command("USER Cam"), "331 User name okay, need password");
    EXPECT_EQ(c.command("PASS wrong"), "530 Login incorrect");
    EXPECT_EQ(c.command("LIST"), "530 Not logged in");
    EXPECT_EQ(c.command("USER cam"), "331 User name okay, need password");
    EXPECT_EQ(c.command("PASS s3cret"), "530 Login incorrect");
    // The name is trimmed, the password is not.
    EXPECT_EQ(c.command("USER  \tCam "), "331 User name okay, need password");
    EXPECT_EQ(c.command("PASS  s3cret"), "530 Login incorrect");
    EXPECT_EQ(c.command("USER   Cam"), "331 User name okay, need password");
    EXPECT_EQ(c.command("PASS s3cret"), "230 Login successful");

    // Read only: login and listing, no upload; changes apply without a restart.
    setPref("ftpUserPerm", QStringLiteral("只读"));
    EXPECT_EQ(c.command("STOR a.jpg"), "550 Permission denied");
    setPref("ftpUserPerm", QStringLiteral("禁用"));
    EXPECT_EQ(c.command("STOR a.jpg"), "550 Permission denied");
    EXPECT_EQ(c.command("LIST"), "425 Use PASV first");
    EXPECT_EQ(c.command("USER Cam"), "530 User login disabled");
    // The earlier name is kept, but a disabled account cannot log in with it.
    EXPECT_EQ(c.command("PASS s3cret"), "530 User login disabled");
    EXPECT_EQ(c.command("LIST"), "530 Not logged in");
    EXPECT_FALSE(QFile::exists(s.path("a.jpg")));
}

TEST(FtpSession, AnonymousLoginFollowsItsPermission)
{
    Server s;
    Client c(s.port());
    c.reply();
    EXPECT_EQ(c.command("USER Anonymous"), "530 Anonymous access disabled");
    setPref("ftpAnonPerm", QStringLiteral("只读"));
    EXPECT_EQ(c.command("USER anonymous"), "331 Anonymous login OK, send password");
    EXPECT_EQ(c.command("PASS"), "230 Anonymous login successful");
    auto data = c.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(c.command("LIST"), "150 Opening data connection");
    EXPECT_EQ(c.reply(), "226 Transfer complete");
    EXPECT_EQ(c.command("STOR a.jpg"), "550 Permission denied");

    setPref("ftpAnonPerm", QStringLiteral("读写"));
    data = c.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(c.command("STOR a.jpg"), "150 Opening data connection for upload");
    writeAll(*data, "jpeg");
    data->disconnectFromHost();
    EXPECT_EQ(c.reply(), "226 Transfer complete");
    EXPECT_EQ(readFile(s.path("a.jpg")), "jpeg");

    setPref("ftpAnonPerm", QStringLiteral("禁用"));
    EXPECT_EQ(c.command("USER ANONYMOUS"), "530 Anonymous access disabled");
    // The earlier USER anonymous still stands, but the word is read again.
    EXPECT_EQ(c.command("PASS x"), "530 Anonymous access disabled");
}

TEST(FtpSession, CommandsAreFramedAsLines)
{
    Server s;
    Client c(s.port());
    c.reply();
    // Two commands in one segment get two replies.
    c.send("NOOP\r\nSYST\r\n");
    EXPECT_EQ(c.reply(), "200 NOOP OK");
    EXPECT_EQ(c.reply(), "215 UNIX Type: L8");
    // A command split over segments is one command; a bare LF ends a line too.
    c.send("NO");
    QTest::qWait(50);
    c.send("OP\nFEAT\r\n");
    EXPECT_EQ(c.reply(), "200 NOOP OK");
    EXPECT_EQ(c.reply(), "211 No extensions");
    // A blank line is an empty verb.
    EXPECT_EQ(c.command(""), "502 Command not implemented");
    // Bytes that are not UTF-8 get no reply.
    c.send("NOOP \xff\xfe\r\nSYST\r\n");
    EXPECT_EQ(c.reply(), "215 UNIX Type: L8");
    // Over 4 KiB: one 500, then the session goes on.
    c.send("NOOP " + QByteArray(5000, 'x'));
    EXPECT_EQ(c.reply(), "500 Line too long");
    c.send(QByteArray(3000, 'y') + "\r\nNOOP\r\n");
    EXPECT_EQ(c.reply(), "200 NOOP OK");
    c.send("NOOP " + QByteArray(4500, 'z') + "\r\nSYST\r\n");
    EXPECT_EQ(c.reply(), "500 Line too long");
    EXPECT_EQ(c.reply(), "215 UNIX Type: L8");
}

TEST(FtpSession, TenFailedLoginsCloseTheConnection)
{
    Server s;
    Client c(s.port());
    c.reply();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(c.command("USER 482917"), "331 User name okay, need password");
        EXPECT_EQ(c.command("PASS 000000"), "530 Login incorrect");
    }
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
    EXPECT_EQ(c.command("USER 482917"), "331 User name okay, need password");
    EXPECT_EQ(c.command("PASS 482917"), "230 Login successful");
}

TEST(FtpSession, HangUpEndsTheSessionAndItsDataListener)
{
    Server s;
    auto c = std::make_unique<Client>(s.port());
    c->reply();
    ASSERT_TRUE(c->login());
    const quint16 dataPort = c->pasv();
    ASSERT_NE(dataPort, 0);
    c->socket.disconnectFromHost();
    c.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.server.sessionCount() == 0; }, kWaitMs));
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, dataPort);
    EXPECT_FALSE(probe.waitForConnected(1000));
}
