#include "FtpTestSupport.h"

using namespace FtpTest;

namespace {

// Writes `count` files of random bytes into `dir` and returns their names.
QStringList makeFiles(const QString& dir, const QString& prefix, int count, qsizetype size)
{
    QStringList names;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("%1_%2.jpg").arg(prefix).arg(i, 4, 10, QLatin1Char('0'));
        QFile f(dir + "/" + name);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(randomBytes(size + i, quint32(qHash(name))));
        names << name;
    }
    return names;
}

const char* const kFtplibSession = R"PY(
import ftplib, io, sys
port = int(sys.argv[1])
out = []
ftp = ftplib.FTP()
out.append(ftp.connect('127.0.0.1', port))
out.append(ftp.login('482917', '482917'))
out.append(ftp.sendcmd('SYST'))
out.append(ftp.pwd())
out.append(ftp.storbinary('STOR /DCIM/a.jpg', io.BytesIO(b'photo')))
try:
    ftp.storbinary('STOR a.jpg', io.BytesIO(b'again'))
except ftplib.error_perm as e:
    out.append(str(e))
lines = []
ftp.retrlines('LIST', lines.append)
out.extend(lines)
out.append(ftp.quit())
print('\n'.join(out))
)PY";

const char* const kFtplibParallel = R"PY(
import ftplib, sys, threading
port, src = int(sys.argv[1]), sys.argv[2]
names = sys.argv[3:]
groups = [names[i::4] for i in range(4)]
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
threads = [threading.Thread(target=upload, args=(g,)) for g in groups]
for t in threads: t.start()
for t in threads: t.join()
print('\n'.join(errors))
sys.exit(1 if errors else 0)
)PY";

void expectSameFiles(const QString& from, const QString& to, const QStringList& names)
{
    for (const QString& name : names)
        EXPECT_EQ(readFile(to + "/" + name), readFile(from + "/" + name)) << name.toStdString();
}

}

TEST(FtpClients, FtplibSessionSeesTheRepliesItExpects)
{
    Server s;
    const ProcessResult r = python(kFtplibSession, {QString::number(s.port())});
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

TEST(FtpClients, CurlUploadsTwentyFilesInARow)
{
    Server s;
    QTemporaryDir source;
    const QStringList names = makeFiles(source.path(), "curl", 20, 200 * 1024);
    ASSERT_EQ(names.size(), 20);
    QStringList args{"-sS", "--user", "482917:482917"};
    for (const QString& name : names)
        args << "-T" << source.filePath(name) << QStringLiteral("ftp://127.0.0.1:%1/").arg(s.port());
    const ProcessResult r = run("curl", args);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    expectSameFiles(source.path(), s.root.path(), names);
    EXPECT_EQ(QDir(s.root.path()).entryList(QDir::Files).size(), 20);

    // Curl's own listing reads the same lines.
    const ProcessResult list =
        run("curl", {"-sS", "--user", "482917:482917", QStringLiteral("ftp://127.0.0.1:%1/").arg(s.port())});
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_EQ(list.out.count("-rwxr-xr-x 1 owner group 0 Jan 01 00:00 curl_"), 20);

    // A second upload of a name that exists fails and leaves the file alone.
    const ProcessResult again = run("curl", {"-sS", "--user", "482917:482917", "-T", source.filePath(names[0]),
                                             QStringLiteral("ftp://127.0.0.1:%1/%2").arg(s.port()).arg(names[1])});
    EXPECT_NE(again.exitCode, 0);
    expectSameFiles(source.path(), s.root.path(), names);
}

TEST(FtpClients, CurlGetsARefusalForAVideoInsteadOfHanging)
{
    Server s;
    setPref("ftpAllowVideo", false);
    QTemporaryDir source;
    QFile clip(source.filePath("clip.mp4"));
    ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
    clip.write(QByteArray(64 * 1024, 'v'));
    clip.close();
    const ProcessResult r = run("curl", {"-sS", "--max-time", "20", "--user", "482917:482917", "-T", clip.fileName(),
                                         QStringLiteral("ftp://127.0.0.1:%1/").arg(s.port())});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.exitCode, 28) << "curl timed out waiting for a final reply";
    EXPECT_FALSE(QFile::exists(s.path("clip.mp4")));
}

TEST(FtpClients, FourFtplibClientsAtOnceAllArriveIntact)
{
    Server s;
    QTemporaryDir source;
    const QStringList names = makeFiles(source.path(), "par", 16, 1024 * 1024);
    ASSERT_EQ(names.size(), 16);
    const ProcessResult r = python(kFtplibParallel, QStringList{QString::number(s.port()), source.path()} + names);
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    expectSameFiles(source.path(), s.root.path(), names);
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.server.sessionCount() == 0; }, kWaitMs));
}
