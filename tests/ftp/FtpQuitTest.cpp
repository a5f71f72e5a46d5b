#include "FtpTestSupport.h"

#include <QApplication>
#include <QWidget>
#include <QTimer>

#include <cstdlib>

using namespace FtpTest;

namespace {

// In a child process: a camera is mid-upload when the application ends, with
// the server parented to the application or outliving it. Exits 0 when all
// went well, 1 on a failed expectation; a crash or a hang fails the test.
void quitWithServerRunning(bool serverOutlivesApp)
{
    QTemporaryDir root;
    auto* server = new FtpServer(serverOutlivesApp ? nullptr : qApp);
    server->setLoginFailureDelay(std::chrono::milliseconds(1000));
    server->start(0, root.path());
    Client c(server->serverPort());
    c.reply();
    bool ok = c.login();
    auto data = c.openData();
    ok = ok && data && c.command("STOR part.jpg").startsWith("150");
    writeAll(*data, "partial");
    ok = ok && QTest::qWaitFor([&] { return QFile::exists(root.filePath("part.jpg")); }, kWaitMs);
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

TEST(FtpQuit, ApplicationEndsWithTheServerParentedToIt)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(quitWithServerRunning(false), testing::ExitedWithCode(0), "");
}

TEST(FtpQuit, ServerOutlivesTheApplication)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(quitWithServerRunning(true), testing::ExitedWithCode(0), "");
}

namespace {

// A screen that owns the server as a child and listens to it. A widget deletes
// its children while still connected, after its own members are gone, so the
// server must publish nothing from its destructor.
class Owner : public QWidget
{
public:
    Owner()
        : server(new FtpServer(this))
    {
        connect(server, &FtpServer::isRunningChanged, this, [this](bool running) { states->push_back(running); });
    }
    ~Owner() override
    {
        delete states;
        states = nullptr;
    }
    FtpServer* server;
    std::vector<bool>* states = new std::vector<bool>;
};

}

TEST(FtpQuit, OwnerDestroyedWhileAnUploadRuns)
{
    QTemporaryDir root;
    auto owner = std::make_unique<Owner>();
    owner->server->start(0, root.path());
    Client c(owner->server->serverPort());
    c.reply();
    ASSERT_TRUE(c.login());
    auto data = c.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(c.command("STOR part.jpg"), "150 Opening data connection for upload");
    writeAll(*data, "partial");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(root.filePath("part.jpg")); }, kWaitMs));
    owner.reset();
    EXPECT_FALSE(QFile::exists(root.filePath("part.jpg")));
    EXPECT_TRUE(c.waitClosed());
    EXPECT_TRUE(data->waitForDisconnected(kWaitMs) || data->state() == QAbstractSocket::UnconnectedState);
}
