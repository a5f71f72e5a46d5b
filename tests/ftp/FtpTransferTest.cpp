#include "FtpTestSupport.h"

#include "platform/Log.h"

#include <QMutex>

#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace FtpTest;

namespace {

// A logged-in session with a fresh data connection.
struct Session
{
    explicit Session(const Server& s)
        : client(s.port())
    {
        client.reply();
        loggedIn = client.login();
    }
    Client client;
    bool loggedIn = false;
};

QStringList rootEntries(const Server& s)
{
    return QDir(s.root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

}

TEST(FtpTransfer, PassiveReplyNamesThePortThatAccepts)
{
    Server s;
    Session a(s);
    QString line;
    const quint16 port = a.client.pasv(&line);
    ASSERT_NE(port, 0) << line.toStdString();
    EXPECT_TRUE(line.startsWith("227 Entering Passive Mode (127,0,0,1,")) << line.toStdString();
    QTcpSocket data;
    data.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(data.waitForConnected(kWaitMs));
    // A second PASV replaces the listener.
    const quint16 second = a.client.pasv();
    ASSERT_NE(second, 0);
    if (second != port) {
        QTcpSocket stale;
        stale.connectToHost(QHostAddress::LocalHost, port);
        EXPECT_FALSE(stale.waitForConnected(1000));
    }
}

TEST(FtpTransfer, ListingLinesAndOrderOfReplies)
{
    Server s;
    QDir(s.root.path()).mkdir("RAW");
    QFile f(s.path("a.jpg"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("12345");
    f.close();
    QFile::link("RAW", s.path("link"));

    Session a(s);
    EXPECT_EQ(a.client.command("LIST"), "425 Use PASV first");
    auto data = a.client.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(a.client.command("LIST -la"), "150 Opening data connection");
    const QByteArray listing = readAll(*data);
    EXPECT_EQ(a.client.reply(), "226 Transfer complete");
    QList<QByteArray> lines = listing.split('\n');
    ASSERT_EQ(lines.takeLast(), "");
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (QList<QByteArray>{"-rwxr-xr-x 1 owner group 0 Jan 01 00:00 a.jpg\r",
                                        "drwxr-xr-x 1 owner group 0 Jan 01 00:00 RAW\r",
                                        "drwxr-xr-x 1 owner group 0 Jan 01 00:00 link\r"}));
    // The transfer closed the data connection.
    EXPECT_EQ(a.client.command("NLST"), "425 Use PASV first");

    // A listing that cannot be delivered is not reported as complete.
    data = a.client.openData();
    ASSERT_TRUE(data);
    // Two round trips: the server has taken the connection before it is reset.
    EXPECT_EQ(a.client.command("NOOP"), "200 NOOP OK");
    EXPECT_EQ(a.client.command("NOOP"), "200 NOOP OK");
    resetConnection(*data);
    QTest::qWait(20);
    EXPECT_EQ(a.client.command("LIST"), "150 Opening data connection");
    EXPECT_EQ(a.client.reply(), "426 Connection closed; transfer aborted");

    // An empty root gives an empty message between 150 and 226.
    Server empty;
    Session b(empty);
    data = b.client.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(b.client.command("NLST"), "150 Opening data connection");
    EXPECT_EQ(readAll(*data), "");
    EXPECT_EQ(b.client.reply(), "226 Transfer complete");
}

TEST(FtpTransfer, UploadLandsByteEqualInTheRootOnly)
{
    Server s;
    Session a(s);
    const QByteArray payload = randomBytes(5 * 1024 * 1024, 7);
    auto data = a.client.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(a.client.command("STOR /DCIM/100CANON/IMG_0001.CR3"), "150 Opening data connection for upload");
    writeAll(*data, payload);
    data->disconnectFromHost();
    EXPECT_EQ(a.client.reply(), "226 Transfer complete");
    EXPECT_EQ(readFile(s.path("IMG_0001.CR3")), payload);
    EXPECT_EQ(rootEntries(s), QStringList{"IMG_0001.CR3"});

    // A second STOR needs a new data connection.
    EXPECT_EQ(a.client.command("STOR b.jpg"), "425 Use PASV first");
    // The same name again: 550 and the file is untouched.
    data = a.client.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(a.client.command("STOR IMG_0001.CR3"), "550 File exists");
    EXPECT_EQ(a.client.command("STOR .."), "550 File exists");
    EXPECT_EQ(a.client.command("STOR DCIM/"), "550 File exists");
    EXPECT_EQ(readFile(s.path("IMG_0001.CR3")), payload);

    // A client that connects and closes at once stores an empty file.
    EXPECT_EQ(a.client.command("STOR empty.jpg"), "150 Opening data connection for upload");
    data->disconnectFromHost();
    EXPECT_EQ(a.client.reply(), "226 Transfer complete");
    EXPECT_TRUE(QFile::exists(s.path("empty.jpg")));
    EXPECT_EQ(QFileInfo(s.path("empty.jpg")).size(), 0);
}

TEST(FtpTransfer, NamesWithControlCharactersOrTooLongAreRefused)
{
    Server s;
    Session a(s);
    auto data = a.client.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(a.client.command("STOR a\tb.jpg"), "553 File name not allowed");
    a.client.send(QByteArray("STOR a") + '\0' + "b.jpg\r\n");
    EXPECT_EQ(a.client.reply(), "553 File name not allowed");
    EXPECT_EQ(a.client.command("STOR a" + QString(QChar(0x85)) + "b.jpg"), "553 File name not allowed");
    EXPECT_EQ(a.client.command("STOR a\x7f.jpg"), "553 File name not allowed");
    EXPECT_EQ(a.client.command("STOR " + QString(256, u'x')), "553 File name not allowed");
    // 86 three-byte characters are 258 bytes.
    EXPECT_EQ(a.client.command("STOR " + QString(86, u'照')), "553 File name not allowed");
    EXPECT_TRUE(rootEntries(s).isEmpty());
    // 255 bytes is allowed.
    EXPECT_EQ(a.client.command("STOR " + QString(85, u'照')), "150 Opening data connection for upload");
    data->disconnectFromHost();
    EXPECT_EQ(a.client.reply(), "226 Transfer complete");
    EXPECT_EQ(rootEntries(s), QStringList{QString(85, u'照')});
}

TEST(FtpTransfer, NoNameLeavesTheRoot)
{
    QTemporaryDir parent;
    const QString rootPath = parent.filePath("root");
    ASSERT_TRUE(QDir().mkdir(rootPath));
    FtpServer server;
    server.start(0, rootPath);
    Client c(server.serverPort());
    c.reply();
    ASSERT_TRUE(c.login());
    const QStringList arguments{"../up1.jpg", "../../up2.jpg", parent.filePath("up3.jpg"), "..\\up4.jpg",
                                "/../root/../up5.jpg"};
    for (const QString& argument : arguments) {
        auto data = c.openData();
        ASSERT_TRUE(data);
        EXPECT_EQ(c.command("STOR " + argument), "150 Opening data connection for upload") << argument.toStdString();
        data->disconnectFromHost();
        EXPECT_EQ(c.reply(), "226 Transfer complete");
    }
    // Folder parts are dropped; a backslash is an ordinary character here.
    EXPECT_EQ(QDir(parent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"root"});
    const QStringList names = QDir(rootPath).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    EXPECT_EQ(names, (QStringList{"..\\up4.jpg", "up1.jpg", "up2.jpg", "up3.jpg", "up5.jpg"}));
}

TEST(FtpTransfer, VideoIsTurnedAwayOnlyWhenVideosAreOff)
{
    QMutex mutex;
    QStringList lines;
    Log::setSink([&](const QString& line) {
        QMutexLocker lock(&mutex);
        lines << line;
    });
    Server s;
    Session a(s);
    setPref("ftpAllowVideo", false);
    auto data = a.client.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(a.client.command("STOR /DCIM/clip.MOV"), "150 Opening data connection for upload");
    EXPECT_TRUE(data->waitForDisconnected(kWaitMs) || data->state() == QAbstractSocket::UnconnectedState);
    // A final refusal follows, so the client does not hang waiting for one.
    EXPECT_EQ(a.client.reply(), "550 Video uploads not allowed");
    EXPECT_EQ(a.client.command("NOOP"), "200 NOOP OK");
    EXPECT_FALSE(QFile::exists(s.path("clip.MOV")));
    {
        QMutexLocker lock(&mutex);
        EXPECT_EQ(lines, QStringList{"【拦截视频，返回150并立刻关闭数据通道，未接收视频数据流】clip.MOV"});
    }
    // Photos still pass.
    data = a.client.openData();
    EXPECT_EQ(a.client.command("STOR a.jpg"), "150 Opening data connection for upload");
    data->disconnectFromHost();
    EXPECT_EQ(a.client.reply(), "226 Transfer complete");

    UserDefaults::standard().remove("ftpAllowVideo");
    data = a.client.openData();
    EXPECT_EQ(a.client.command("STOR clip.MOV"), "150 Opening data connection for upload");
    writeAll(*data, "video");
    data->disconnectFromHost();
    EXPECT_EQ(a.client.reply(), "226 Transfer complete");
    EXPECT_EQ(readFile(s.path("clip.MOV")), "video");
    Log::setSink(nullptr);
}

TEST(FtpTransfer, ResetMidUploadLeavesNoFile)
{
    Server s;
    Session a(s);
    auto data = a.client.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(a.client.command("STOR a.jpg"), "150 Opening data connection for upload");
    writeAll(*data, randomBytes(300000, 1));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo(s.path("a.jpg")).size() == 300000; }, kWaitMs));
    resetConnection(*data);
    EXPECT_EQ(a.client.reply(), "426 Connection closed; transfer aborted");
    EXPECT_FALSE(QFile::exists(s.path("a.jpg")));

    // The camera's retry then succeeds.
    data = a.client.openData();
    EXPECT_EQ(a.client.command("STOR a.jpg"), "150 Opening data connection for upload");
    writeAll(*data, "whole");
    data->disconnectFromHost();
    EXPECT_EQ(a.client.reply(), "226 Transfer complete");
    EXPECT_EQ(readFile(s.path("a.jpg")), "whole");
}

TEST(FtpTransfer, AbortDuringUploadRemovesThePartialFile)
{
    Server s;
    Session a(s);
    auto data = a.client.openData();
    EXPECT_EQ(a.client.command("STOR a.jpg"), "150 Opening data connection for upload");
    writeAll(*data, "partial");
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo(s.path("a.jpg")).size() == 7; }, kWaitMs));
    // The busy connection is not shared with a second transfer.
    EXPECT_EQ(a.client.command("STOR b.jpg"), "425 Can't open data connection");
    EXPECT_EQ(a.client.command("LIST"), "425 Can't open data connection");
    EXPECT_FALSE(QFile::exists(s.path("b.jpg")));
    EXPECT_EQ(a.client.command("ABOR"), "426 Connection closed; transfer aborted");
    EXPECT_EQ(a.client.reply(), "226 Abort successful");
    EXPECT_FALSE(QFile::exists(s.path("a.jpg")));
    EXPECT_TRUE(data->waitForDisconnected(kWaitMs) || data->state() == QAbstractSocket::UnconnectedState);
}

TEST(FtpTransfer, HangUpDuringUploadRemovesThePartialFileButKeepsAFinishedOne)
{
    Server s;
    auto a = std::make_unique<Session>(s);
    auto data = a->client.openData();
    EXPECT_EQ(a->client.command("STOR cut.jpg"), "150 Opening data connection for upload");
    writeAll(*data, "partial");
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo(s.path("cut.jpg")).size() == 7; }, kWaitMs));
    a->client.socket.disconnectFromHost();
    a.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(s.path("cut.jpg")); }, kWaitMs));

    // Data end and QUIT sent back to back: the file is complete and kept.
    Session b(s);
    data = b.client.openData();
    EXPECT_EQ(b.client.command("STOR done.jpg"), "150 Opening data connection for upload");
    writeAll(*data, "complete");
    data->disconnectFromHost();
    b.client.send("QUIT\r\n");
    const QString first = b.client.reply();
    EXPECT_TRUE(first == "226 Transfer complete") << first.toStdString();
    EXPECT_EQ(b.client.reply(), "221 Goodbye");
    EXPECT_EQ(readFile(s.path("done.jpg")), "complete");
}

TEST(FtpTransfer, DanglingSymlinkIsRefusedAndNothingIsCreatedOutside)
{
    Server s;
    QTemporaryDir outside;
    const QString target = outside.filePath("escaped.jpg");
    ASSERT_TRUE(QFile::link(target, s.path("a.jpg")));
    Session a(s);
    auto data = a.client.openData();
    EXPECT_EQ(a.client.command("STOR a.jpg"), "550 File exists");
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_TRUE(QDir(outside.path()).isEmpty());

    // A link to a file outside is a name that exists: the file is untouched.
    const QString kept = outside.filePath("kept.jpg");
    QFile keptFile(kept);
    ASSERT_TRUE(keptFile.open(QIODevice::WriteOnly));
    keptFile.write("original");
    keptFile.close();
    ASSERT_TRUE(QFile::link(kept, s.path("b.jpg")));
    EXPECT_EQ(a.client.command("STOR b.jpg"), "550 File exists");
    EXPECT_EQ(readFile(kept), "original");
}

TEST(FtpTransfer, UnwritableRootGives451AndNoFile)
{
    Server s;
    Session a(s);
    auto data = a.client.openData();
    ASSERT_TRUE(data);
    // Root ignores permission bits, so act as an ordinary user for the write.
    ASSERT_TRUE(QFile::setPermissions(s.root.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                                         | QFileDevice::ReadOther | QFileDevice::ExeOther));
    const bool dropped = ::geteuid() == 0;
    if (dropped)
        ASSERT_EQ(::seteuid(65534), 0);
    const QString reply = a.client.command("STOR a.jpg");
    if (dropped)
        ASSERT_EQ(::seteuid(0), 0);
    EXPECT_EQ(reply, "451 Requested action aborted: local error in processing");
    EXPECT_FALSE(QFile::exists(s.path("a.jpg")));
    QFile::setPermissions(s.root.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // A root that vanished is a local error too.
    QTemporaryDir gone;
    FtpServer server;
    server.setLoginFailureDelay(std::chrono::milliseconds(0));
    server.start(0, gone.path() + "/missing");
    Client c(server.serverPort());
    c.reply();
    ASSERT_TRUE(c.login());
    data = c.openData();
    EXPECT_EQ(c.command("STOR a.jpg"), "451 Requested action aborted: local error in processing");
}

TEST(FtpTransfer, FullDiskMidUploadGives452AndNoFile)
{
    // A file size limit fails the write the way a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    rlimit small = limit;
    small.rlim_cur = 1024 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    Server s;
    Session a(s);
    auto data = a.client.openData();
    EXPECT_EQ(a.client.command("STOR big.jpg"), "150 Opening data connection for upload");
    writeAll(*data, randomBytes(3 * 1024 * 1024, 3));
    const QString reply = a.client.reply();
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(reply, "452 Requested action not taken: insufficient storage space");
    EXPECT_FALSE(QFile::exists(s.path("big.jpg")));
}

TEST(FtpTransfer, DataConnectionFromAnotherAddressIsRefused)
{
    Server s;
    Session a(s);
    const quint16 port = a.client.pasv();
    ASSERT_NE(port, 0);
    QTcpSocket intruder;
    ASSERT_TRUE(intruder.bind(QHostAddress("127.0.0.2")));
    intruder.connectToHost(QHostAddress::LocalHost, port);
    intruder.waitForConnected(kWaitMs);
    EXPECT_TRUE(intruder.waitForDisconnected(kWaitMs) || intruder.state() == QAbstractSocket::UnconnectedState);
    EXPECT_EQ(a.client.command("STOR a.jpg"), "425 Use PASV first");

    // The camera itself still gets through on the same port.
    QTcpSocket data;
    data.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(data.waitForConnected(kWaitMs));
    EXPECT_EQ(a.client.command("STOR a.jpg"), "150 Opening data connection for upload");
    writeAll(data, "mine");
    data.disconnectFromHost();
    EXPECT_EQ(a.client.reply(), "226 Transfer complete");
    EXPECT_EQ(readFile(s.path("a.jpg")), "mine");
}
