#include "FtpTestSupport.h"

using namespace FtpTest;

namespace {

// Writes `count` files of random bytes into `dir` and returns their names.
QStringList makeFiles(const QString& dir, const QString& prefix, int count, qsizetype size)
{
    QStringList names;
    for (int i = 0; i < count; ++i) {
        names << QStringLiteral("%1_%2.jpg").arg(prefix).arg(i, 4, 10, QLatin1Char('0'));
        if (!writeFile(dir + "/" + names.last(), randomBytes(size + i, quint32(qHash(names.last())))))
            return {};
    }
    return names;
}

void expectSameFiles(const QString& from, const QString& to, const QStringList& names)
{
    for (const QString& name : names)
        EXPECT_EQ(readFile(to + "/" + name), readFile(from + "/" + name)) << name.toStdString();
}

const char* const kFtplibSession = R"PY(
import ftplib, io, sys
ftp = ftplib.FTP()
out = [ftp.connect('127.0.0.1', int(sys.argv[1])), ftp.login('482917', '482917'), ftp.sendcmd('SYST'), ftp.pwd(),
       ftp.storbinary('STOR /DCIM/a.jpg', io.BytesIO(b'photo'))]
try:
    ftp.storbinary('STOR a.jpg', io.BytesIO(b'again'))
except ftplib.error_perm as e:
    out.append(str(e))
ftp.retrlines('LIST', out.append)
out.append(ftp.quit())
print('\n'.join(out))
)PY";

const char* const kFtplibParallel = R"PY(
import ftplib, sys, threading
port, src, names = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
errors = []
def upload(group):
    try:
        ftp = ftplib.FTP()
        ftp.connect('127.0.0.1', port, timeout=30)
        ftp.login('482917', '482917')
        for name in group:
            with open(src + '/' + name, 'rb') as f:
                ftp.storbinary('STOR ' + name, f, blocksize=65536)
        ftp.quit()
    except Exception as e:
        errors.append(repr(e))
threads = [threading.Thread(target=upload, args=(names[i::4],)) for i in range(4)]
for t in threads: t.start()
for t in threads: t.join()
print('\n'.join(errors))
sys.exit(1 if errors else 0)
)PY";

}

TEST(FtpClients, FtplibSessionSeesTheRepliesItExpects)
{
    Server s;
    const ProcessResult r = run("python3", {"-c", kFtplibSession, QString::number(s.port())});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "220 FTP Server Ready\n"
                     "230 Login successful\n"
                     "215 UNIX Type: L8\n"
                     "/\n"
                     "226 Transfer complete\n"
                     "550 File exists\n"
                     "-rwxr-xr-x 1 owner group 0 Jan 01 00:00 a.jpg\n"
                     "221 Goodbye\n");
    EXPECT_EQ(readFile(s.path("a.jpg")), "photo");
}

TEST(FtpClients, CurlUploadsTwentyFilesInARowAndGetsARefusalForAVideo)
{
    Server s;
    QTemporaryDir source;
    const QStringList names = makeFiles(source.path(), "curl", 20, 200 * 1024);
    ASSERT_EQ(names.size(), 20);
    QStringList args;
    for (const QString& name : names)
        args << "-T" << source.filePath(name) << QStringLiteral("ftp://127.0.0.1:%1/").arg(s.port());
    args.removeLast();
    const ProcessResult r = curl(s.port(), args);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    expectSameFiles(source.path(), s.root(), names);
    EXPECT_EQ(s.entries().size(), 20);

    // Curl's own listing reads the same lines.
    const ProcessResult list = curl(s.port(), {});
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_EQ(list.out.count("-rwxr-xr-x 1 owner group 0 Jan 01 00:00 curl_"), 20);

    // A refused video gets a final reply instead of leaving curl waiting for one.
    setPref("ftpAllowVideo", false);
    ASSERT_TRUE(writeFile(source.filePath("clip.mp4"), QByteArray(64 * 1024, 'v')));
    const ProcessResult video = curl(s.port(), {"--max-time", "20", "-T", source.filePath("clip.mp4")});
    EXPECT_NE(video.exitCode, 0);
    EXPECT_NE(video.exitCode, 28) << "curl timed out";
    EXPECT_FALSE(QFile::exists(s.path("clip.mp4")));
}

TEST(FtpClients, FourFtplibClientsAtOnceAllArriveIntact)
{
    Server s;
    QTemporaryDir source;
    const QStringList names = makeFiles(source.path(), "par", 16, 1024 * 1024);
    ASSERT_EQ(names.size(), 16);
    const ProcessResult r =
        run("python3", QStringList{"-c", kFtplibParallel, QString::number(s.port()), source.path()} + names);
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    expectSameFiles(source.path(), s.root(), names);
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.server.sessionCount() == 0; }, kWaitMs));
}
