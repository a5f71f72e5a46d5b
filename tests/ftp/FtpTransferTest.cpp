#include "FtpTestSupport.h"

#include "platform/Log.h"

#include <QMutex>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace FtpTest;

TEST(FtpTransfer, ListingLinesAndOrderOfReplies)
{
    Server s;
    Client c(s.port(), true);
    EXPECT_EQ(c.command("LIST"), "425 Use PASV first");
    // An empty root gives an empty message between 150 and 226.
    auto data = c.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(c.command("NLST"), "150 Opening data connection");
    EXPECT_EQ(readAll(*data), "");
    EXPECT_EQ(c.reply(), kComplete);

    QDir(s.root()).mkdir("RAW");
    ASSERT_TRUE(writeFile(s.path("a.jpg"), "12345"));
    QFile::link("RAW", s.path("link"));
    data = c.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(c.command("LIST -la"), "150 Opening data connection");
    QList<QByteArray> lines = readAll(*data).split('\n');
    EXPECT_EQ(c.reply(), kComplete);
    ASSERT_EQ(lines.takeLast(), "");
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (QList<QByteArray>{"-rwxr-xr-x 1 owner group 0 Jan 01 00:00 a.jpg\r",
                                        "drwxr-xr-x 1 owner group 0 Jan 01 00:00 RAW\r",
                                        "drwxr-xr-x 1 owner group 0 Jan 01 00:00 link\r"}));
    // The transfer closed the data connection.
    EXPECT_EQ(c.command("NLST"), "425 Use PASV first");

    // A listing that cannot be delivered is not reported as complete.
    data = c.openData();
    ASSERT_TRUE(data);
    // Two round trips: the server has taken the connection before it is reset.
    EXPECT_EQ(c.command("NOOP"), "200 NOOP OK");
    EXPECT_EQ(c.command("NOOP"), "200 NOOP OK");
    resetConnection(*data);
    QTest::qWait(20);
    EXPECT_EQ(c.command("LIST"), "150 Opening data connection");
    EXPECT_EQ(c.reply(), kAborted);
}

TEST(FtpTransfer, UploadsLandByteEqualInTheRootOnly)
{
    Server s;
    // Links in the root are names that exist: nothing is made or changed where they point.
    ASSERT_TRUE(QFile::link(s.base.filePath("escaped.jpg"), s.path("dangling.jpg")));
    ASSERT_TRUE(writeFile(s.base.filePath("kept.jpg"), "original"));
    ASSERT_TRUE(QFile::link(s.base.filePath("kept.jpg"), s.path("link.jpg")));
    Client c(s.port(), true);
    const QByteArray payload = randomBytes(5 * 1024 * 1024, 7);
    EXPECT_EQ(c.upload("/DCIM/100CANON/IMG_0001.CR3", payload), kComplete);
    EXPECT_EQ(readFile(s.path("IMG_0001.CR3")), payload);
    // Folder parts are dropped; a backslash is an ordinary character here.
    for (const QString& name :
         QStringList{"../up1.jpg", "../../up2.jpg", s.base.filePath("up3.jpg"), "..\\up4.jpg", "/../root/../up5.jpg"})
        EXPECT_EQ(c.upload(name), kComplete) << name.toStdString();

    // A second STOR needs a new data connection.
    EXPECT_EQ(c.command("STOR b.jpg"), "425 Use PASV first");
    auto data = c.openData();
    ASSERT_TRUE(data);
    for (const char* name : {"IMG_0001.CR3", "..", "DCIM/", "dangling.jpg", "link.jpg"})
        EXPECT_EQ(c.command(QStringLiteral("STOR ") + name), "550 File exists") << name;
    // Control characters, or over 255 bytes: 86 three-byte characters are 258.
    c.send(QByteArray("STOR a") + '\0' + "b.jpg\r\n");
    EXPECT_EQ(c.reply(), "553 File name not allowed");
    for (const QString& name : {QStringLiteral("a\tb.jpg"), "a" + QString(QChar(0x85)) + "b.jpg",
                                QStringLiteral("a\x7f.jpg"), QString(256, u'x'), QString(86, u'照')})
        EXPECT_EQ(c.command("STOR " + name), "553 File name not allowed") << name.toStdString();
    // 255 bytes is allowed; a client that connects and closes at once stores an empty file.
    EXPECT_EQ(c.command("STOR " + QString(85, u'照')), kUploading);
    data->disconnectFromHost();
    EXPECT_EQ(c.reply(), kComplete);
    EXPECT_TRUE(QFileInfo(s.path(QString(85, u'照'))).isFile());
    EXPECT_EQ(QFileInfo(s.path(QString(85, u'照'))).size(), 0);

    EXPECT_EQ(readFile(s.path("IMG_0001.CR3")), payload);
    EXPECT_EQ(readFile(s.base.filePath("kept.jpg")), "original");
    EXPECT_EQ(QDir(s.base.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              (QStringList{"kept.jpg", "root"}));
    QStringList expected{"IMG_0001.CR3", "dangling.jpg", "link.jpg", "up1.jpg", "up2.jpg", "up3.jpg", "..\\up4.jpg",
                         "up5.jpg", QString(85, u'照')};
    QStringList got = s.entries();
    expected.sort();
    got.sort();
    EXPECT_EQ(got, expected);
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
    Client c(s.port(), true);
    setPref("ftpAllowVideo", false);
    auto data = c.openData();
    ASSERT_TRUE(data);
    EXPECT_EQ(c.command("STOR /DCIM/clip.MOV"), kUploading);
    EXPECT_TRUE(closed(*data));
    // A final refusal follows, so the client does not hang waiting for one.
    EXPECT_EQ(c.reply(), "550 Video uploads not allowed");
    EXPECT_EQ(c.command("NOOP"), "200 NOOP OK");
    {
        QMutexLocker lock(&mutex);
        EXPECT_EQ(lines, QStringList{"【拦截视频，返回150并立刻关闭数据通道，未接收视频数据流】clip.MOV"});
    }
    for (const char* name : {"a.mp4", "b.Mov", "c.m4v", "d.AVI", "e.mkv", "f.mpg", "g.mpeg"}) {
        data = c.openData();
        EXPECT_EQ(c.command(QStringLiteral("STOR ") + name), kUploading);
        EXPECT_EQ(c.reply(), "550 Video uploads not allowed") << name;
    }
    EXPECT_TRUE(s.entries().isEmpty());
    // Photos still pass.
    EXPECT_EQ(c.upload("a.jpg"), kComplete);

    UserDefaults::standard().remove("ftpAllowVideo");
    EXPECT_EQ(c.upload("clip.MOV", "video"), kComplete);
    EXPECT_EQ(readFile(s.path("clip.MOV")), "video");
    Log::setSink(nullptr);
}

TEST(FtpTransfer, ResetAbortOrHangUpMidUploadLeavesNoFileButAFinishedOneStays)
{
    Server s;
    Client c(s.port(), true);
    auto data = c.startUpload(s.path("a.jpg"), randomBytes(300000, 1));
    ASSERT_TRUE(data);
    resetConnection(*data);
    EXPECT_EQ(c.reply(), kAborted);
    EXPECT_FALSE(QFile::exists(s.path("a.jpg")));
    // The camera's retry then succeeds.
    EXPECT_EQ(c.upload("a.jpg", "whole"), kComplete);
    EXPECT_EQ(readFile(s.path("a.jpg")), "whole");

    data = c.startUpload(s.path("b.jpg"), "partial");
    ASSERT_TRUE(data);
    // The busy connection is not shared with a second transfer.
    EXPECT_EQ(c.command("STOR c.jpg"), "425 Can't open data connection");
    EXPECT_EQ(c.command("LIST"), "425 Can't open data connection");
    EXPECT_FALSE(QFile::exists(s.path("c.jpg")));
    EXPECT_EQ(c.command("ABOR"), kAborted);
    EXPECT_EQ(c.reply(), "226 Abort successful");
    EXPECT_FALSE(QFile::exists(s.path("b.jpg")));
    EXPECT_TRUE(closed(*data));

    // A hang-up removes the partial file too.
    auto a = std::make_unique<Client>(s.port(), true);
    data = a->startUpload(s.path("cut.jpg"), "partial");
    ASSERT_TRUE(data);
    a->socket.disconnectFromHost();
    a.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(s.path("cut.jpg")); }, kWaitMs));

    // Data end and QUIT sent back to back: the file is complete and kept.
    data = c.openData();
    EXPECT_EQ(c.command("STOR done.jpg"), kUploading);
    writeAll(*data, "complete");
    data->disconnectFromHost();
    c.send("QUIT\r\n");
    EXPECT_EQ(c.reply(), kComplete);
    EXPECT_EQ(c.reply(), "221 Goodbye");
    EXPECT_EQ(readFile(s.path("done.jpg")), "complete");
}

TEST(FtpTransfer, LocalErrorsGive451Or452AndNoFile)
{
    Server s;
    Client c(s.port(), true);
    auto data = c.openData();
    ASSERT_TRUE(data);
    // Root ignores permission bits, so act as an ordinary user for the write.
    ASSERT_TRUE(QFile::setPermissions(s.root(), QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                                    | QFileDevice::ReadOther | QFileDevice::ExeOther));
    const bool dropped = ::geteuid() == 0;
    if (dropped)
        ASSERT_EQ(::seteuid(65534), 0);
    const QString unwritable = c.command("STOR a.jpg");
    if (dropped)
        ASSERT_EQ(::seteuid(0), 0);
    EXPECT_EQ(unwritable, "451 Requested action aborted: local error in processing");
    QFile::setPermissions(s.root(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // A file size limit fails the write the way a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    rlimit small = limit;
    small.rlim_cur = 1024 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    data = c.openData();
    EXPECT_EQ(c.command("STOR big.jpg"), kUploading);
    writeAll(*data, randomBytes(3 * 1024 * 1024, 3));
    const QString full = c.reply(); // with the data stream still open
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(full, "452 Requested action not taken: insufficient storage space");
    EXPECT_TRUE(s.entries().isEmpty());

    // A root that vanished is a local error too.
    QDir(s.root()).removeRecursively();
    EXPECT_EQ(c.upload("a.jpg"), "451 Requested action aborted: local error in processing");
}

TEST(FtpTransfer, PassivePortAcceptsOnlyTheCamerasAddress)
{
    Server s;
    Client c(s.port(), true);
    const QString line = c.command("PASV");
    EXPECT_TRUE(line.startsWith("227 Entering Passive Mode (127,0,0,1,")) << line.toStdString();
    const quint16 stale = Client::passivePort(line);
    ASSERT_NE(stale, 0);
    // A second PASV replaces the listener.
    const quint16 port = c.pasv();
    ASSERT_NE(port, 0);
    EXPECT_TRUE(stale == port || !Client::dataTo(stale));

    QTcpSocket intruder;
    ASSERT_TRUE(intruder.bind(QHostAddress("127.0.0.2")));
    intruder.connectToHost(QHostAddress::LocalHost, port);
    intruder.waitForConnected(kWaitMs);
    EXPECT_TRUE(closed(intruder));
    // The upload waits for the camera's own connection, which gets through on the same port.
    c.send("STOR a.jpg\r\n");
    EXPECT_FALSE(c.socket.waitForReadyRead(300));
    auto data = Client::dataTo(port);
    ASSERT_TRUE(data);
    EXPECT_EQ(c.reply(), kUploading);
    EXPECT_EQ(c.finish(*data, "mine"), kComplete);
    EXPECT_EQ(readFile(s.path("a.jpg")), "mine");
}
