#include "FtpTestSupport.h"

#include "ftp/FtpAccess.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

#include <sys/resource.h>
#include <unistd.h>

using namespace FtpTest;

TEST(FtpServer, LocalAddressPrefersLanInterfaces)
{
    const struct
    {
        QList<std::pair<const char*, const char*>> interfaces;
        const char* chosen;
    } cases[] = {
        {{{"lo", "127.0.0.1"}, {"tun0", "10.8.0.2"}, {"enp3s0", "192.168.1.20"}}, "192.168.1.20"},
        {{{"wlan0", "192.168.1.21"}, {"eth0", "192.168.1.22"}}, "192.168.1.21"},
        // A virtual machine's network only when nothing better exists, the last one.
        {{{"lo", "127.0.0.1"}, {"vmnet8", "172.16.5.1"}, {"docker0", "172.17.0.1"}}, "172.17.0.1"},
        {{{"docker0", "172.17.0.1"}, {"eth0", "192.168.1.22"}}, "192.168.1.22"},
        {{{"lo", "127.0.0.1"}}, "127.0.0.1"},
        {{}, "127.0.0.1"},
        // Self-assigned and IPv6 addresses never count.
        {{{"en0", "169.254.3.4"}, {"en0", "fe80::1"}}, "127.0.0.1"},
        // A bridge ahead of the wired interface wins; a container bridge does not.
        {{{"br0", "192.168.1.30"}, {"eth0", "192.168.1.22"}}, "192.168.1.30"},
        {{{"br-1a2b", "172.18.0.1"}, {"eth0", "192.168.1.22"}}, "192.168.1.22"},
        {{{"wg0", "10.0.0.2"}}, "127.0.0.1"},
    };
    for (const auto& c : cases) {
        QList<QPair<QString, QHostAddress>> entries;
        for (const auto& [name, address] : c.interfaces)
            entries.append({QString::fromLatin1(name), QHostAddress(QString::fromLatin1(address))});
        EXPECT_EQ(FtpServer::chooseLocalIP(entries), c.chosen) << c.chosen;
    }
}

// The other preferences' defaults and live changes show in the sessions' replies.
TEST(FtpServer, OnlyAStoredBooleanOrZeroOrOneTurnsVideosAway)
{
    EXPECT_TRUE(FtpAccess::fromStore(UserDefaults::standard()).allowVideo);
    for (const auto& [stored, allowed] : {std::pair<QVariant, bool>{false, false}, {0, false}, {1, true},
                                          {QStringLiteral("no"), true}, {2, true}, {true, true}}) {
        setPref("ftpAllowVideo", stored);
        EXPECT_EQ(FtpAccess::fromStore(UserDefaults::standard()).allowVideo, allowed) << stored.toString().toStdString();
    }
}

TEST(FtpServer, StartPublishesRunningAndAddressStopClosesConnections)
{
    FtpServer server;
    QSignalSpy running(&server, &FtpServer::isRunningChanged);
    QSignalSpy errors(&server, &FtpServer::errorOccurred);
    QTemporaryDir root;
    // A taken port leaves it stopped with an error, the address looked up all the same.
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::Any, 0));
    server.start(other.serverPort(), root.path());
    EXPECT_FALSE(server.isRunning());
    EXPECT_EQ(errors.count(), 1);
    EXPECT_FALSE(server.lastError().isEmpty());
    EXPECT_EQ(server.localIP(), FtpServer::getLocalIP());

    server.start(0, root.path());
    ASSERT_TRUE(server.isRunning());
    EXPECT_EQ(running.count(), 1);
    EXPECT_TRUE(server.lastError().isEmpty());
    Client client(server.serverPort());
    EXPECT_EQ(client.reply(), "220 FTP Server Ready");
    ASSERT_TRUE(client.login());
    // Nothing touched the preference store before the server: the sessions'
    // reads on the worker thread must not be the ones that made it.
    EXPECT_EQ(UserDefaults::standard().thread(), QThread::currentThread());
    auto data = client.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(server.sessionCount(), 1);

    server.stop();
    EXPECT_FALSE(server.isRunning());
    EXPECT_TRUE(client.waitClosed());
    EXPECT_TRUE(closed(*data));
    EXPECT_EQ(server.sessionCount(), 0);

    // A later start serves again with an empty session list.
    server.start(0, root.path());
    ASSERT_TRUE(server.isRunning());
    Client again(server.serverPort());
    EXPECT_EQ(again.reply(), "220 FTP Server Ready");
    EXPECT_EQ(server.sessionCount(), 1);
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

    // One that quits and one that hangs up free their places.
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

namespace {

// In a child process: a camera is mid-upload when the application ends, with
// the server parented to the application or outliving it. Exits 0 when all
// went well, 1 on a failed expectation; a crash or a hang fails the test.
void quitWithServerRunning(bool serverOutlivesApp)
{
    QTemporaryDir root;
    auto* server = new FtpServer(serverOutlivesApp ? nullptr : qApp);
    server->setLimits(Server::withLoginDelay(std::chrono::milliseconds(1000)));
    server->start(0, root.path());
    Client c(server->serverPort(), true);
    auto data = c.startUpload(root.filePath("part.jpg"), "partial");
    bool ok = c.ready && data;
    // A login failure waiting on its delay too.
    Client other(server->serverPort());
    other.reply();
    other.send("USER x\r\nPASS y\r\n");

    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QApplication::exec();
    ok = ok && !server->isRunning();
    qApp->~QApplication();
    if (serverOutlivesApp)
        delete server;
    ok = ok && !QFile::exists(root.filePath("part.jpg"));
    ok = ok && c.waitClosed();
    std::_Exit(ok ? 0 : 1);
}

}

TEST(FtpQuit, ApplicationEndsWithTheServerParentedToItOrOutlivingIt)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (bool outlives : {false, true}) {
        SCOPED_TRACE(outlives);
        EXPECT_EXIT(quitWithServerRunning(outlives), testing::ExitedWithCode(0), "");
    }
}

namespace {

// A screen that owns the server as a child and listens to it. A widget deletes
// its children while still connected, after its own members are gone, so the
// server must publish nothing from its destructor.
struct Owner : QWidget
{
    FtpServer* server = new FtpServer(this);
    std::vector<bool>* states = new std::vector<bool>;
    Owner() { connect(server, &FtpServer::isRunningChanged, this, [this](bool on) { states->push_back(on); }); }
    ~Owner() override { delete std::exchange(states, nullptr); }
};

}

TEST(FtpQuit, OwnerDestroyedWhileAnUploadRuns)
{
    QTemporaryDir root;
    auto owner = std::make_unique<Owner>();
    owner->server->start(0, root.path());
    Client c(owner->server->serverPort(), true);
    auto data = c.startUpload(root.filePath("part.jpg"), "partial");
    ASSERT_TRUE(data);
    owner.reset();
    EXPECT_FALSE(QFile::exists(root.filePath("part.jpg")));
    EXPECT_TRUE(c.waitClosed());
    EXPECT_TRUE(closed(*data));
}
