#include "FtpTestSupport.h"

#include <QSignalSpy>
#include <QTcpServer>

#include <sys/resource.h>
#include <unistd.h>

using namespace FtpTest;

namespace {
QPair<QString, QHostAddress> iface(const char* name, const char* address)
{
    return {QString::fromLatin1(name), QHostAddress(QString::fromLatin1(address))};
}
}

TEST(FtpServer, LocalAddressPrefersLanInterfaces)
{
    EXPECT_EQ(FtpServer::chooseLocalIP({iface("lo", "127.0.0.1"), iface("tun0", "10.8.0.2"),
                                        iface("enp3s0", "192.168.1.20")}),
              "192.168.1.20");
    EXPECT_EQ(FtpServer::chooseLocalIP({iface("wlan0", "192.168.1.21"), iface("eth0", "192.168.1.22")}),
              "192.168.1.21");
    // A virtual machine's network only when nothing better exists, the last one.
    EXPECT_EQ(FtpServer::chooseLocalIP({iface("lo", "127.0.0.1"), iface("vmnet8", "172.16.5.1"),
                                        iface("docker0", "172.17.0.1")}),
              "172.17.0.1");
    EXPECT_EQ(FtpServer::chooseLocalIP({iface("docker0", "172.17.0.1"), iface("eth0", "192.168.1.22")}),
              "192.168.1.22");
    EXPECT_EQ(FtpServer::chooseLocalIP({iface("lo", "127.0.0.1")}), "127.0.0.1");
    EXPECT_EQ(FtpServer::chooseLocalIP({}), "127.0.0.1");
    // Self-assigned and IPv6 addresses never count.
    EXPECT_EQ(FtpServer::chooseLocalIP({iface("en0", "169.254.3.4"), iface("en0", "fe80::1")}), "127.0.0.1");
    // A bridge ahead of the wired interface wins; a container bridge does not.
    EXPECT_EQ(FtpServer::chooseLocalIP({iface("br0", "192.168.1.30"), iface("eth0", "192.168.1.22")}),
              "192.168.1.30");
    EXPECT_EQ(FtpServer::chooseLocalIP({iface("br-1a2b", "172.18.0.1"), iface("eth0", "192.168.1.22")}),
              "192.168.1.22");
    EXPECT_EQ(FtpServer::chooseLocalIP({iface("wg0", "10.0.0.2")}), "127.0.0.1");
}

TEST(FtpServer, PreferenceReadersFollowTheStoreLive)
{
    EXPECT_EQ(FtpServer::uiUserPerm(), "读写");
    EXPECT_EQ(FtpServer::uiAnonPerm(), "禁用");
    EXPECT_EQ(FtpServer::uiUsername(), "482917");
    EXPECT_EQ(FtpServer::uiPassword(), "482917");
    EXPECT_TRUE(FtpServer::uiAllowVideo());
    setPref("ftpUserPerm", QStringLiteral("只读"));
    setPref("ftpUsername", QStringLiteral("cam"));
    EXPECT_EQ(FtpServer::uiUserPerm(), "只读");
    EXPECT_EQ(FtpServer::uiUsername(), "cam");
    setPref("ftpAllowVideo", false);
    EXPECT_FALSE(FtpServer::uiAllowVideo());
    setPref("ftpAllowVideo", 0);
    EXPECT_FALSE(FtpServer::uiAllowVideo());
    setPref("ftpAllowVideo", QStringLiteral("no"));
    EXPECT_TRUE(FtpServer::uiAllowVideo());
    EXPECT_EQ(FtpServer::videoExtensions().size(), 7);
    EXPECT_TRUE(FtpServer::videoExtensions().contains("mpeg"));
}

TEST(FtpServer, StartPublishesRunningAndAddressStopClosesConnections)
{
    FtpServer server;
    EXPECT_FALSE(server.isRunning());
    EXPECT_EQ(server.localIP(), "0.0.0.0");
    QSignalSpy running(&server, &FtpServer::isRunningChanged);
    QTemporaryDir root;
    server.start(0, root.path());
    ASSERT_TRUE(server.isRunning());
    EXPECT_EQ(running.count(), 1);
    EXPECT_EQ(server.localIP(), FtpServer::getLocalIP());
    EXPECT_NE(server.serverPort(), 0);

    Client client(server.serverPort());
    EXPECT_EQ(client.reply(), "220 FTP Server Ready");
    ASSERT_TRUE(client.login());
    auto data = client.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(server.sessionCount(), 1);

    server.stop();
    EXPECT_FALSE(server.isRunning());
    EXPECT_TRUE(client.waitClosed());
    EXPECT_TRUE(data->waitForDisconnected(kWaitMs) || data->state() == QAbstractSocket::UnconnectedState);
    EXPECT_EQ(server.sessionCount(), 0);

    // A later start serves again with an empty session list.
    server.start(0, root.path());
    ASSERT_TRUE(server.isRunning());
    Client again(server.serverPort());
    EXPECT_EQ(again.reply(), "220 FTP Server Ready");
    EXPECT_EQ(server.sessionCount(), 1);
}

TEST(FtpServer, TakenPortLeavesItStoppedWithAnError)
{
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::Any, 0));
    FtpServer server;
    QSignalSpy errors(&server, &FtpServer::errorOccurred);
    QTemporaryDir root;
    server.start(other.serverPort(), root.path());
    EXPECT_FALSE(server.isRunning());
    EXPECT_EQ(errors.count(), 1);
    EXPECT_FALSE(server.lastError().isEmpty());
    // The address is looked up even when the start fails.
    EXPECT_EQ(server.localIP(), FtpServer::getLocalIP());
}

TEST(FtpServer, EndedSessionsLeaveTheListAndTheLimitIs32)
{
    Server s;
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 32; ++i) {
        clients.push_back(std::make_unique<Client>(s.port()));
        ASSERT_EQ(clients.back()->reply(), "220 FTP Server Ready") << i;
    }
    EXPECT_EQ(s.server.sessionCount(), 32);
    Client extra(s.port());
    EXPECT_EQ(extra.reply(), "421 Too many connections");
    EXPECT_TRUE(extra.waitClosed());

    // One that quits frees its place.
    EXPECT_EQ(clients.front()->command("QUIT"), "221 Goodbye");
    EXPECT_TRUE(clients.front()->waitClosed());
    clients.back()->socket.abort();
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.server.sessionCount() == 30; }, kWaitMs));
    Client next(s.port());
    EXPECT_EQ(next.reply(), "220 FTP Server Ready");
}

TEST(FtpServer, ListenerThatFailsWhileRunningIsReportedStopped)
{
    Server s;
    ASSERT_TRUE(s.server.isRunning());
    QSignalSpy errors(&s.server, &FtpServer::errorOccurred);

    // Use up every descriptor but one: the client's socket takes it and the
    // server's accept finds none.
    rlimit old{};
    getrlimit(RLIMIT_NOFILE, &old);
    rlimit tight = old;
    tight.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    std::vector<int> filler;
    for (int fd = ::dup(0); fd >= 0; fd = ::dup(0))
        filler.push_back(fd);
    ASSERT_FALSE(filler.empty());
    ::close(filler.back());
    filler.pop_back();
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, s.port());
    const bool connected = client.waitForConnected(kWaitMs);
    const bool failed = QTest::qWaitFor([&] { return !s.server.isRunning(); }, kWaitMs);
    for (int fd : filler)
        ::close(fd);
    setrlimit(RLIMIT_NOFILE, &old);
    ASSERT_TRUE(connected);
    EXPECT_TRUE(failed);
    EXPECT_GE(errors.count(), 1);
    EXPECT_FALSE(s.server.lastError().isEmpty());
}

TEST(FtpServer, PreferenceStoreStaysOnTheMainThread)
{
    // Nothing has used the store yet in this process: the sessions' reads on
    // the worker thread must not be the ones that make it.
    Server s;
    Client c(s.port());
    c.reply();
    ASSERT_TRUE(c.login());
    EXPECT_EQ(UserDefaults::standard().thread(), QThread::currentThread());
}
