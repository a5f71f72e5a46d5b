#include "ChildProcess.h"
#include "FtpTestSupport.h"

#include "platform/FileNaming.h"

#include <QSemaphore>

using namespace FtpTest;
using namespace std::chrono_literals;

namespace {

// The server in a process of its own, which the test can kill with SIGKILL.
struct ChildServer
{
    explicit ChildServer(const QString& root)
    {
        server.process().start(QStringLiteral(FTP_CHILD_SERVER), {root});
        // Log lines may come first; the port is the line that is a number.
        while (port == 0) {
            const QByteArray line = nextLine(server.process(), kWaitMs);
            if (line.isEmpty())
                break;
            output += line;
            port = quint16(line.trimmed().toUInt());
        }
    }
    ChildServer(const ChildServer&) = delete;
    ChildServer& operator=(const ChildServer&) = delete;
    ChildProcess server;
    QByteArray output;
    quint16 port = 0;
};

// Holds every upload of this process between the end of its data stream and
// the sync that comes before its name, until the test lets it go on.
struct SyncGate
{
    SyncGate()
    {
        FtpUpload::setFaultHook([this](Paths::SaveStep step, qsizetype&) {
            if (step == Paths::SaveStep::Sync) {
                reached.release();
                goOn.acquire();
            }
            return 0;
        });
    }
    ~SyncGate()
    {
        FtpUpload::setFaultHook({});
        goOn.release(100);
    }
    bool waitReached() { return reached.tryAcquire(1, kWaitMs); }
    QSemaphore reached;
    QSemaphore goOn;
};

// Fails every upload step `failing` with `error`.
struct DiskFault
{
    DiskFault(Paths::SaveStep failing, int error)
    {
        FtpUpload::setFaultHook([=](Paths::SaveStep step, qsizetype&) { return step == failing ? error : 0; });
    }
    ~DiskFault() { FtpUpload::setFaultHook({}); }
};

FtpLimits shortLimits()
{
    FtpLimits limits = Server::withLoginDelay(20ms);
    limits.loginTimeout = 600ms;
    limits.idleTimeout = 600ms;
    limits.dataConnectTimeout = 400ms;
    return limits;
}

}

TEST(FtpFaults, ServerKilledMidUploadLeavesNoFinalFileAndTheRetrySucceeds)
{
    QTemporaryDir base;
    const QString root = base.filePath("root");
    ASSERT_TRUE(QDir().mkpath(root));
    const QString source = base.filePath("DSC_0001.JPG");
    const QByteArray photo = randomBytes(16 * 1024 * 1024, 7);
    ASSERT_TRUE(writeFile(source, photo));

    auto server = std::make_unique<ChildServer>(root);
    ASSERT_NE(server->port, 0) << server->output.toStdString()
                               << server->server.process().readAllStandardError().toStdString();
    // Slow enough to be mid-upload however late the test gets to its kill.
    ChildProcess camera;
    camera.process().start("curl", curlArguments(server->port, {"--limit-rate", "1M", "-T", source}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bytesReceived(root) > 1024 * 1024; }, 20000)) << camera.ending();
    ASSERT_TRUE(server->server.kill()) << "the server ended before the test's kill: " << server->server.ending();
    ASSERT_TRUE(camera.finished(20000));
    EXPECT_FALSE(camera.exitedCleanly()) << camera.ending();

    // Only the hidden partial file is left, under no name a camera sees.
    QStringList left = QDir(root).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(FtpUpload::isTemporaryName(left.first())) << left.first().toStdString();
    ASSERT_TRUE(writeFile(root + "/.tessary-ftp-mine.part", "not the server's")); // not its pattern
    ASSERT_TRUE(writeFile(root + "/kept.jpg", "a user's"));

    // The next start removes it, and the camera's retry goes through.
    server = std::make_unique<ChildServer>(root);
    ASSERT_NE(server->port, 0);
    left = QDir(root).entryList(QDir::Files | QDir::Hidden);
    left.sort();
    EXPECT_EQ(left, QStringList({".tessary-ftp-mine.part", "kept.jpg"}));
    const ProcessResult retry = curl(server->port, {"-T", source});
    ASSERT_EQ(retry.exitCode, 0) << retry.err.toStdString();
    EXPECT_EQ(readFile(root + "/DSC_0001.JPG"), photo);
}

TEST(FtpFaults, PartialUploadsAreHiddenAndNeverTakeAName)
{
    Server s;
    Client c(s.port(), true);
    ASSERT_TRUE(writeFile(s.path("held.jpg"), "first"));
    auto data = c.startUpload(s.path("a.jpg"), "partial");
    ASSERT_TRUE(data);
    ASSERT_EQ(s.entries().size(), 2);

    // Neither listing shows the partial file, nor can a client use its pattern.
    Client other(s.port(), true);
    for (const char* verb : {"LIST", "NLST"}) {
        auto list = other.openData();
        ASSERT_TRUE(list);
        EXPECT_EQ(other.command(verb), "150 Opening data connection");
        EXPECT_EQ(QString::fromUtf8(readAll(*list)).count("\r\n"), 1) << verb;
        EXPECT_EQ(other.reply(), kComplete);
    }
    const QString hidden = s.entries().filter(QRegularExpression("^\\.tessary-ftp-")).value(0);
    ASSERT_FALSE(hidden.isEmpty());
    EXPECT_EQ(other.upload(hidden, "x"), "553 File name not allowed");
    // The name being received is taken for everyone else.
    EXPECT_EQ(other.upload("a.jpg", "other"), "550 File exists");

    // A name that appears from outside while the bytes arrive is not replaced.
    ASSERT_TRUE(writeFile(s.path("a.jpg"), "from outside"));
    data->disconnectFromHost();
    EXPECT_EQ(c.reply(), "550 File exists");
    EXPECT_EQ(readFile(s.path("a.jpg")), "from outside");
    EXPECT_EQ(s.entries(), QStringList({"a.jpg", "held.jpg"}));
}

TEST(FtpFaults, SilentAndIdlePeersAreClosedWithTimeout)
{
    Server s(shortLimits());
    std::vector<std::unique_ptr<QTcpSocket>> silent;
    for (int i = 0; i < 32; ++i) {
        silent.push_back(std::make_unique<QTcpSocket>());
        silent.back()->connectToHost(QHostAddress::LocalHost, s.port());
        ASSERT_TRUE(silent.back()->waitForConnected(kWaitMs));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.server.sessionCount() == 32; }, kWaitMs));

    for (auto& socket : silent)
        EXPECT_EQ(readAll(*socket), "220 FTP Server Ready\r\n421 Timeout.\r\n");
    // A camera that comes after the limit logs in and uploads.
    const ProcessResult camera = ftplibUpload(s.port(), "after.jpg", "photo");
    ASSERT_EQ(camera.exitCode, 0) << camera.err.toStdString();
    EXPECT_EQ(camera.out, "226 Transfer complete\n");
    EXPECT_EQ(readFile(s.path("after.jpg")), "photo");

    // Talking without logging in does not hold a place either.
    Client chatty(s.port());
    QStringList heard{chatty.reply()};
    for (int i = 0; i < 10 && heard.last() != "421 Timeout."; ++i) {
        QTest::qWait(150);
        heard << chatty.command("NOOP");
    }
    EXPECT_EQ(heard.last(), "421 Timeout.") << heard.join(" | ").toStdString();

    // Logged in: a command keeps the session, silence ends it, an upload
    // longer than the limit does not.
    Client idle(s.port(), true);
    // A camera that keeps its session with NOOP stays well past the limit.
    for (int i = 0; i < 6; ++i) {
        QTest::qWait(300);
        EXPECT_EQ(idle.command("NOOP"), "200 NOOP OK") << i;
    }
    auto data = idle.startUpload(s.path("slow.jpg"), "part one,");
    ASSERT_TRUE(data);
    QTest::qWait(1000);
    EXPECT_EQ(idle.finish(*data, " part two"), kComplete);
    EXPECT_EQ(readFile(s.path("slow.jpg")), "part one, part two");
    EXPECT_EQ(idle.reply(), "421 Timeout.");
    EXPECT_TRUE(idle.waitClosed());
}

TEST(FtpFaults, PassivePortNobodyConnectsToIsClosedAndTheTransferGets425)
{
    Server s(shortLimits());
    Client c(s.port(), true);

    // A command sent before the data connection waits for it...
    quint16 port = c.pasv();
    ASSERT_NE(port, 0);
    c.send("STOR late.jpg\r\n");
    QTest::qWait(100);
    auto data = Client::dataTo(port);
    ASSERT_TRUE(data);
    EXPECT_EQ(c.reply(), kUploading);
    EXPECT_EQ(c.finish(*data, "late"), kComplete);
    EXPECT_EQ(readFile(s.path("late.jpg")), "late");

    // ...but not past the limit, and then the port is gone.
    port = c.pasv();
    ASSERT_NE(port, 0);
    c.send("STOR never.jpg\r\n");
    EXPECT_EQ(c.reply(), "425 Can't open data connection");
    EXPECT_FALSE(Client::dataTo(port));
    EXPECT_EQ(c.command("STOR never.jpg"), "425 Use PASV first");
    EXPECT_EQ(c.command("NOOP"), "200 NOOP OK");
    EXPECT_FALSE(QFile::exists(s.path("never.jpg")));
}

TEST(FtpFaults, CameraKilledMidUploadLeavesNoFileAndItsRetryStoresTheWholeOne)
{
    Server s;
    QTemporaryDir source;
    const QString file = source.filePath("MVI_0001.MOV");
    const QByteArray video = randomBytes(16 * 1024 * 1024, 11);
    ASSERT_TRUE(writeFile(file, video));

    // Slow enough to be mid-upload however late the test gets to its kill.
    ChildProcess camera;
    camera.process().start("curl", curlArguments(s.port(), {"--limit-rate", "1M", "-T", file}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bytesReceived(s.root()) > 1024 * 1024; }, 20000)) << camera.ending();
    ASSERT_TRUE(camera.kill()) << "the camera ended before the test's kill: " << camera.ending();
    // Both of its connections ended cleanly, by the kernel: nothing takes the name.
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.entries().isEmpty(); }, kWaitMs)) << s.entries().join(", ").toStdString();

    const ProcessResult retry = ftplibUpload(s.port(), "MVI_0001.MOV", file, true);
    ASSERT_EQ(retry.exitCode, 0) << retry.err.toStdString();
    EXPECT_EQ(retry.out, "226 Transfer complete\n");
    EXPECT_EQ(readFile(s.path("MVI_0001.MOV")), video);
    EXPECT_EQ(s.entries(), QStringList{"MVI_0001.MOV"});
}

TEST(FtpFaults, AnUploadTakesItsNameOnlyWhileItsClientIsThereToSeeIt)
{
    Server s;
    SyncGate gate;
    struct Case
    {
        const char* after; // what the client does once its data stream has ended
        std::function<void(Client&)> act;
        bool kept;
    };
    const QList<Case> cases{
        {"nothing", [](Client&) {}, true},
        {"closes control without reading 226", [](Client& c) { c.socket.disconnectFromHost(); }, false},
        {"resets control", [](Client& c) { resetConnection(c.socket); }, false},
        {"sends QUIT and closes", [](Client& c) {
             c.send("QUIT\r\n");
             c.socket.disconnectFromHost();
         }, true},
    };
    for (const Case& k : cases) {
        Client c(s.port(), true);
        auto data = c.openData();
        ASSERT_TRUE(data) << k.after;
        ASSERT_EQ(c.command("STOR a.jpg"), kUploading) << k.after;
        writeAll(*data, "whole");
        data->disconnectFromHost();
        ASSERT_TRUE(gate.waitReached()) << k.after;
        k.act(c);
        gate.goOn.release();
        const QStringList expected = k.kept ? QStringList{"a.jpg"} : QStringList{};
        EXPECT_TRUE(QTest::qWaitFor([&] { return s.entries() == expected; }, kWaitMs))
            << k.after << ": " << s.entries().join(", ").toStdString();
        if (k.kept) {
            EXPECT_EQ(readFile(s.path("a.jpg")), "whole") << k.after;
            QFile::remove(s.path("a.jpg"));
        }
    }
}

TEST(FtpFaults, DiskFaultsWhileStoringGive45xAndNoFile)
{
    Server s;
    Client c(s.port(), true);
    const QString local = QStringLiteral("451 Requested action aborted: local error in processing");
    const QString full = QStringLiteral("452 Requested action not taken: insufficient storage space");
    struct Case
    {
        Paths::SaveStep step;
        int error;
        QString reply;
    };
    const QList<Case> cases{
        {Paths::SaveStep::Write, EIO, local}, {Paths::SaveStep::Write, ENOSPC, full},
        {Paths::SaveStep::Sync, EIO, local},  {Paths::SaveStep::Sync, ENOSPC, full},
        {Paths::SaveStep::Rename, EIO, local},
    };
    for (const Case& k : cases) {
        DiskFault fault(k.step, k.error);
        EXPECT_EQ(c.upload("a.jpg", randomBytes(100000, 5)), k.reply) << int(k.step) << " " << k.error;
        EXPECT_TRUE(s.entries().isEmpty()) << int(k.step) << ": " << s.entries().join(", ").toStdString();
    }
    EXPECT_EQ(c.upload("a.jpg", "fine"), kComplete);
    EXPECT_EQ(readFile(s.path("a.jpg")), "fine");
}

TEST(FtpFaults, SweepsOfTheFolderLeaveARunningUploadAlone)
{
    Server s;
    Client c(s.port(), true);
    auto data = c.startUpload(s.path("a.jpg"), "first half,");
    ASSERT_TRUE(data);
    const QStringList partial = s.entries();
    ASSERT_EQ(partial.size(), 1);

    FtpServer other;
    struct Sweep
    {
        const char* what;
        std::function<void()> run;
    };
    const QList<Sweep> sweeps{
        {"a sweep in this process", [&] { EXPECT_EQ(FtpUpload::removeLeftovers(s.root()), 0); }},
        {"another server starting on the folder", [&] {
             other.start(0, s.root());
             EXPECT_TRUE(other.isRunning());
         }},
        {"a server starting in another process", [&] { EXPECT_NE(ChildServer(s.root()).port, 0); }},
    };
    for (const Sweep& sweep : sweeps) {
        sweep.run();
        EXPECT_EQ(s.entries(), partial) << sweep.what;
    }
    EXPECT_EQ(c.finish(*data, " second half"), kComplete);
    EXPECT_EQ(readFile(s.path("a.jpg")), "first half, second half");
}

namespace {

// A bare client's way to an upload's data for the scripts below: logs in,
// sends PASV and STOR and returns the data socket, the control socket and a
// function that sends a line (None: none) and returns the next reply.
const char* const kBareClient = R"PY(
import re, socket
def bare_stor(port, name):
    control = socket.create_connection(('127.0.0.1', port))
    replies = control.makefile('rb')
    def command(line):
        if line:
            control.sendall(line.encode() + b'\r\n')
        return replies.readline().decode()
    command(None)
    command('USER 482917')
    command('PASS 482917')
    numbers = re.search(r'\((\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\)', command('PASV')).groups()
    data = socket.create_connection(('127.0.0.1', int(numbers[4]) * 256 + int(numbers[5])))
    reply = command('STOR ' + name)
    if not reply.startswith('150'):
        raise RuntimeError(name + ': ' + reply)
    return data, control, command
)PY";

QString bareClientScript(const char* script)
{
    return QString::fromUtf8(kBareClient) + QString::fromUtf8(script);
}

// Cameras that go away the moment their data is sent, `runs` of them, at most
// twenty at a time, each uploading the file at argv[4] as K<n>.JPG:
// "killed" is ftplib ended by os._exit a random moment after its data,
// "closing" a bare client that closes its data connection and then its
// control connection without reading the final reply. "retry" uploads every
// name again with ftplib on one connection and prints each final reply.
const char* const kGoneCameras = R"PY(
import ftplib, io, os, random, sys, time
port, mode, runs, payload = int(sys.argv[1]), sys.argv[2], int(sys.argv[3]), open(sys.argv[4], 'rb').read()
names = ['K%03d.JPG' % i for i in range(runs)]

def login():
    ftp = ftplib.FTP()
    ftp.connect('127.0.0.1', port, timeout=20)
    ftp.login('482917', '482917')
    return ftp

def killed(name):
    ftp = login()
    data = ftp.transfercmd('STOR ' + name)
    data.sendall(payload)
    random.seed(name)
    time.sleep(random.uniform(0, 0.3))
    os._exit(1)

def closing(name):
    data, control, command = bare_stor(port, name)
    data.sendall(payload)
    data.close()
    os.close(control.detach())
    os._exit(0)

if mode == 'retry':
    ftp = login()
    for name in names:
        print(name, ftp.storbinary('STOR ' + name, io.BytesIO(payload)))
    ftp.quit()
    sys.exit(0)

# Each camera must have got as far as sending its data.
failed = 0
def reap():
    global failed
    failed += os.waitstatus_to_exitcode(os.wait()[1]) != (1 if mode == 'killed' else 0)
running = 0
for name in names:
    if running == 20:
        reap()
        running -= 1
    if os.fork() == 0:
        try:
            (killed if mode == 'killed' else closing)(name)
        except Exception as e:
            sys.stderr.write('%s: %r\n' % (name, e))
        os._exit(3)
    running += 1
while running:
    reap()
    running -= 1
sys.exit('%d cameras failed' % failed if failed else 0)
)PY";

}

// Two hundred cameras of each kind gone right after their data, with the root
// folder in `folder`: no name is taken and every retry stores the whole file.
void expectGoneCamerasLeaveNoFile(const QString& folder)
{
    QTemporaryDir source;
    const QString file = source.filePath("photo.jpg");
    const QByteArray photo = randomBytes(1'000'000, 23);
    ASSERT_TRUE(writeFile(file, photo));
    constexpr int kRuns = 200;
    // Sessions whose client has gone may wait their turn behind the syncs of
    // others; the limit on sessions is not what this is about.
    FtpLimits limits;
    limits.maxSessions = 1000;
    for (const char* mode : {"killed", "closing"}) {
        Server s(limits, folder);
        auto cameras = [&](const char* how) {
            return run("python3", {"-c", bareClientScript(kGoneCameras), QString::number(s.port()), how,
                                   QString::number(kRuns), file});
        };
        const ProcessResult gone = cameras(mode);
        ASSERT_EQ(gone.exitCode, 0) << mode << gone.err.toStdString();
        // Every part file goes and no name is taken.
        EXPECT_TRUE(QTest::qWaitFor([&] { return s.server.sessionCount() == 0 && s.entries().isEmpty(); }, kWaitMs))
            << mode << ": " << s.entries().join(", ").toStdString();

        const ProcessResult retry = cameras("retry");
        ASSERT_EQ(retry.exitCode, 0) << mode << retry.err.toStdString();
        EXPECT_EQ(retry.out.count("226 Transfer complete\n"), kRuns) << mode;
        int whole = 0;
        for (int i = 0; i < kRuns; ++i)
            whole += readFile(s.path(QStringLiteral("K%1.JPG").arg(i, 3, 10, QLatin1Char('0')))) == photo;
        EXPECT_EQ(whole, kRuns) << mode;
    }
}

TEST(FtpFaults, CamerasGoneRightAfterTheirDataLeaveNoFileOnADisk)
{
    // The build folder: a disk, where the sync before the name takes a while.
    expectGoneCamerasLeaveNoFile(QDir::currentPath());
}

TEST(FtpFaults, CamerasGoneRightAfterTheirDataLeaveNoFileInMemory)
{
    // tmpfs, where the sync costs nothing and the hang-up comes after the 226.
    if (!QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        GTEST_SKIP() << "no /dev/shm";
    expectGoneCamerasLeaveNoFile(QStringLiteral("/dev/shm"));
}

TEST(FtpFaults, AFileWhose226WasNeverReadIsTakenBack)
{
    // Uploads argv[2] and, once the server has named it, ends as argv[3] says.
    static const char* const script = R"PY(
import os, struct, sys, time
port, path, how = int(sys.argv[1]), sys.argv[2], sys.argv[3]
data, control, command = bare_stor(port, os.path.basename(path))
data.sendall(b'whole')
data.close()
while not os.path.exists(path):
    time.sleep(0.001)
if how != 'unread':
    assert command(None).startswith('226')
if how == 'read, then a command':
    # Its reply is never read: the close at once is a reset.
    control.sendall(b'NOOP\r\n')
if how == 'reset later':
    time.sleep(0.5)
    control.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack('ii', 1, 0))
os.close(control.detach())
)PY";
    Server s;
    const QList<std::pair<const char*, bool>> cases{
        {"unread", false}, {"read", true}, {"read, then a command", true}, {"reset later", true}};
    for (const auto& [how, kept] : cases) {
        const ProcessResult client =
            run("python3", {"-c", bareClientScript(script), QString::number(s.port()), s.path("a.jpg"), how});
        ASSERT_EQ(client.exitCode, 0) << how << client.err.toStdString();
        const QStringList expected = kept ? QStringList{"a.jpg"} : QStringList{};
        EXPECT_TRUE(QTest::qWaitFor([&] { return s.server.sessionCount() == 0 && s.entries() == expected; }, kWaitMs))
            << how << ": " << s.entries().join(", ").toStdString();
        if (kept)
            EXPECT_EQ(readFile(s.path("a.jpg")), "whole") << how;
        QFile::remove(s.path("a.jpg"));
    }
}

TEST(FtpFaults, APartFileIsNeverSweptBetweenItsCreationAndItsLock)
{
    Server s;
    QSemaphore reached;
    QSemaphore goOn;
    FileNaming::setCreateHook([&] {
        reached.release();
        goOn.acquire();
    });
    Client c(s.port(), true);
    auto data = c.openData();
    ASSERT_TRUE(data);
    c.send("STOR a.jpg\r\n");
    const bool paused = reached.tryAcquire(1, kWaitMs);
    FileNaming::setCreateHook({});
    ASSERT_TRUE(paused);
    // Sweeps of this process and of a server starting on the folder in another.
    EXPECT_EQ(FtpUpload::removeLeftovers(s.root()), 0);
    EXPECT_NE(ChildServer(s.root()).port, 0);
    goOn.release();
    ASSERT_EQ(c.reply(), kUploading);
    EXPECT_EQ(c.finish(*data, "whole"), kComplete);
    EXPECT_EQ(readFile(s.path("a.jpg")), "whole");
    EXPECT_EQ(s.entries(), QStringList{"a.jpg"});
}

TEST(FtpFaults, TakingBackAnUnreadFileLeavesTheNameToTheUploadThatTookItSince)
{
    // A camera's upload to the server under test whose 226 goes unread; in
    // the moments between, its file is moved away (an import takes it) and a
    // second camera, on another server of the folder, stores the same name.
    static const char* const script = R"PY(
import os, sys, time
port, other, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
name = os.path.basename(path)
second, second_control, second_command = bare_stor(other, name)
second.sendall(b'second')
first, control, command = bare_stor(port, name)
first.sendall(b'first')
first.close()
while not os.path.exists(path):
    time.sleep(0.001)
os.rename(path, os.path.join(os.path.dirname(path), 'moved.jpg'))
second.close()
assert second_command(None).startswith('226')
os.close(control.detach())
)PY";
    Server s;
    ChildServer other(s.root());
    ASSERT_NE(other.port, 0) << other.output.toStdString();
    const ProcessResult client = run("python3", {"-c", bareClientScript(script), QString::number(s.port()),
                                                 QString::number(other.port), s.path("a.jpg")});
    ASSERT_EQ(client.exitCode, 0) << client.err.toStdString();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return s.server.sessionCount() == 0 && s.entries() == QStringList({"a.jpg", "moved.jpg"}); }, kWaitMs))
        << s.entries().join(", ").toStdString();
    EXPECT_EQ(readFile(s.path("a.jpg")), "second");
    EXPECT_EQ(readFile(s.path("moved.jpg")), "first");
}
