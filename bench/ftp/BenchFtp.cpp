// Upload throughput over loopback with curl: this server against vsftpd, plain
// and with a `sync` after each batch (the durability ours gives every file).
//
//   bench_ftp                 quick run: 60 x 25 MB and 1000 x 100 KB (under a minute)
//   bench_ftp --full          200 x 25 MB and 2000 x 100 KB
//   bench_ftp --large N --large-mb M --small N --small-kb K
//   bench_ftp --serve PORT ROOT   only run this server, for trying clients by hand
//
// Both servers get the same files in batches, one curl process per batch (one
// control connection, a PASV and a STOR per file, like a camera). vsftpd runs
// from a temporary configuration on another loopback port. Our server runs in
// this process, so its peak memory is this process's. Exits with 2 when any
// upload went wrong on either server.

#include "ftp/FtpKeys.h"
#include "ftp/FtpServer.h"
#include "platform/QuitSignals.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <optional>

#include <unistd.h>

namespace {

struct Phase
{
    QString label;
    int count = 0;
    qint64 size = 0;
};

bool failed = false;

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

qint64 peakRssKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool writeSource(const QString& path, qint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 x = 0x9e3779b9u;
    for (qint64 written = 0; written < size;) {
        for (char& c : block) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = char(x);
        }
        const qint64 n = std::min<qint64>(block.size(), size - written);
        if (f.write(block.constData(), n) != n)
            return false;
        written += n;
    }
    return true;
}

struct Target
{
    QString name;
    QString url;
    QStringList login;
    QString root;
    // Each batch is followed by `sync`, timed with it: the same durability as
    // our server, which syncs every file before "226".
    bool syncAfter = false;
};

struct Timing
{
    double wall = 0;
    double syncing = 0;
    QList<double> perFile;
    bool ok = true;

    double median() const
    {
        QList<double> sorted = perFile;
        std::sort(sorted.begin(), sorted.end());
        return sorted.isEmpty() ? 0 : sorted[sorted.size() / 2];
    }
};

// Uploads files first..last-1 as copies of `source` through one curl process
// (one control connection, a PASV and a STOR per file, like a camera), checks
// them and removes them again so the disk never fills.
void uploadBatch(const Target& target, const QString& source, const Phase& phase, int first, int last,
                 const QString& workDir, Timing& timing)
{
    const QFileInfo sourceInfo(source);
    const QString configPath = workDir + "/curl.conf";
    {
        QFile config(configPath);
        if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            timing.ok = false;
            return;
        }
        QTextStream s(&config);
        for (int i = first; i < last; ++i) {
            s << "upload-file = \"" << source << "\"\n";
            s << "url = \"" << target.url << phase.label << QStringLiteral("_%1.bin").arg(i, 5, 10, QLatin1Char('0'))
              << "\"\n";
        }
    }
    QProcess curl;
    QElapsedTimer timer;
    timer.start();
    curl.start("curl", QStringList{"-sS", "--disable-epsv", "-w", "%{time_total}\\n", "-K", configPath}
                           + target.login);
    curl.waitForFinished(-1);
    if (target.syncAfter) {
        QElapsedTimer syncTimer;
        syncTimer.start();
        ::sync();
        timing.syncing += syncTimer.nsecsElapsed() / 1e9;
    }
    timing.wall += timer.nsecsElapsed() / 1e9;
    for (const QByteArray& line : curl.readAllStandardOutput().split('\n')) {
        bool ok = false;
        const double seconds = line.toDouble(&ok);
        if (ok)
            timing.perFile << seconds;
    }
    if (curl.exitStatus() != QProcess::NormalExit || curl.exitCode() != 0) {
        out() << "  " << target.name << ": curl failed: " << curl.readAllStandardError().left(400) << Qt::endl;
        timing.ok = false;
    }
    // Hidden too: a temporary file left behind is a failure.
    const QFileInfoList files = QDir(target.root).entryInfoList(QDir::Files | QDir::Hidden);
    if (files.size() != last - first) {
        out() << "  " << target.name << ": expected " << (last - first) << " files, found " << files.size()
              << Qt::endl;
        timing.ok = false;
    }
    for (const QFileInfo& file : files) {
        if (file.size() != sourceInfo.size()) {
            out() << "  " << target.name << ": " << file.fileName() << " has " << file.size() << " bytes" << Qt::endl;
            timing.ok = false;
        }
        QFile::remove(file.absoluteFilePath());
    }
}

// Batches go round the servers (and which one goes first), so a busy moment
// of the machine hits both alike. The overall figure, stalls of the client
// included, is the one compared: curl before 8.4 idles for up to a second
// before it opens a data connection when the 227 is already waiting the moment
// it has sent PASV, which a server that answers at once triggers (vsftpd as
// well) and ours avoids. The median time per file shows the pace without them.
void runPhase(const Phase& phase, int batchSize, const QString& source, const QList<const Target*>& targets,
              const QString& workDir)
{
    const qsizetype n = targets.size();
    QList<Timing> timing(n);
    int round = 0;
    for (int first = 0; first < phase.count; first += batchSize, ++round) {
        const int last = std::min(phase.count, first + batchSize);
        for (qsizetype k = 0; k < n; ++k) {
            const qsizetype t = (round + k) % n;
            uploadBatch(*targets[t], source, phase, first, last, workDir, timing[t]);
        }
    }

    // Per file (median) with the batches' `sync` spread over the files: free of
    // the client's stalls, which the overall figures include.
    const double fileMB = double(phase.size) / 1e6;
    auto steadyRate = [&](const Timing& m) {
        const double seconds = m.median() * phase.count + m.syncing;
        return seconds > 0 ? fileMB * phase.count / seconds : 0;
    };
    out() << QStringLiteral("%1: %2 files x %3 KB\n").arg(phase.label).arg(phase.count).arg(phase.size / 1000);
    for (qsizetype t = 0; t < n; ++t) {
        const Timing& m = timing[t];
        // A file that took a fifth of a second and twice the usual: the client idled.
        const double stalled = std::max(0.19, 2 * m.median());
        const auto stalls = std::count_if(m.perFile.begin(), m.perFile.end(),
                                          [stalled](double seconds) { return seconds >= stalled; });
        out() << QStringLiteral("  %1 %2 MB/s steady; overall %3 MB/s in %4 s, %5 client stalls%6\n")
                     .arg(targets[t]->name, -12)
                     .arg(steadyRate(m), 8, 'f', 1)
                     .arg(fileMB * phase.count / m.wall, 0, 'f', 1)
                     .arg(m.wall, 0, 'f', 2)
                     .arg(stalls)
                     .arg(m.ok ? "" : "  FAILED");
        if (!m.ok)
            failed = true;
    }
    for (qsizetype t = 1; t < n; ++t) {
        const double theirs = steadyRate(timing[t]);
        out() << QStringLiteral("  ratio ours/%1 %2 overall (%3 steady)\n")
                     .arg(targets[t]->name)
                     .arg(timing[t].wall / timing[0].wall, 0, 'f', 2)
                     .arg(theirs > 0 ? steadyRate(timing[0]) / theirs : 0, 0, 'f', 2);
    }
    out() << Qt::flush;
}

class Vsftpd
{
public:
    bool start(const QString& workDir, const QString& rootDir, quint16 port)
    {
        const QString configPath = workDir + "/vsftpd.conf";
        QFile config(configPath);
        if (!config.open(QIODevice::WriteOnly))
            return false;
        QTextStream s(&config);
        // Runs as the launching user without chroot, so it needs no system setup;
        // anonymous uploads straight into the root folder.
        s << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" << port << "\n"
          << "background=NO\nrun_as_launching_user=YES\n"
          << "anonymous_enable=YES\nno_anon_password=YES\nanon_root=" << rootDir << "\n"
          << "anon_upload_enable=YES\nwrite_enable=YES\nanon_umask=022\nlocal_enable=NO\n"
          << "seccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\npasv_enable=YES\n"
          << "xferlog_enable=NO\nconnect_from_port_20=NO\nsecure_chroot_dir=" << workDir << "\n";
        config.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start("/usr/sbin/vsftpd", {configPath});
        if (!m_process.waitForStarted(5000))
            return false;
        for (int i = 0; i < 50; ++i) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            if (probe.waitForConnected(100))
                return true;
            if (m_process.state() != QProcess::Running)
                break;
            QThread::msleep(100);
        }
        out() << "vsftpd did not start: " << m_process.readAll() << Qt::endl;
        return false;
    }
    ~Vsftpd()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000))
                m_process.kill();
            m_process.waitForFinished();
        }
    }

private:
    QProcess m_process;
};

std::optional<int> intArg(const QStringList& args, const QString& name)
{
    const qsizetype i = args.indexOf(name);
    if (i < 0 || i + 1 >= args.size())
        return std::nullopt;
    bool ok = false;
    const int value = args[i + 1].toInt(&ok);
    return ok && value > 0 ? std::optional<int>(value) : std::nullopt;
}

}

int main(int argc, char** argv)
{
    // Never read or write the user's real preferences.
    QTemporaryDir work(QDir::tempPath() + "/bench-ftp-XXXXXX");
    if (!work.isValid())
        return 1;
    qputenv("HOME", work.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (work.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (work.path() + "/data").toUtf8());

    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == "--serve") {
        FtpServer server;
        server.start(quint16(args[2].toUInt()), args[3]);
        out() << (server.isRunning() ? "serving on port " + QString::number(server.serverPort()) : server.lastError())
              << Qt::endl;
        // Ended by a signal, it still removes its temporary folder.
        QuitSignals::install();
        return server.isRunning() ? app.exec() : 1;
    }
    const bool full = args.contains("--full");
    Phase large{"large", intArg(args, "--large").value_or(full ? 200 : 60),
                qint64(intArg(args, "--large-mb").value_or(25)) * 1000 * 1000};
    Phase small{"small", intArg(args, "--small").value_or(full ? 2000 : 1000),
                qint64(intArg(args, "--small-kb").value_or(100)) * 1000};

    const QString sourceLarge = work.filePath("source-large.bin");
    const QString sourceSmall = work.filePath("source-small.bin");
    const QString oursRoot = work.filePath("ours");
    const QString theirsRoot = work.filePath("vsftpd");
    QDir().mkpath(oursRoot);
    QDir().mkpath(theirsRoot);
    if (!writeSource(sourceLarge, large.size) || !writeSource(sourceSmall, small.size)) {
        out() << "cannot write source files" << Qt::endl;
        return 1;
    }

    FtpServer server;
    server.start(0, oursRoot);
    if (!server.isRunning()) {
        out() << "server did not start: " << server.lastError() << Qt::endl;
        return 1;
    }
    const QString oursUrl = QStringLiteral("ftp://127.0.0.1:%1/").arg(server.serverPort());
    const QStringList oursLogin{"--user", FtpKeys::username.defaultValue + ":" + FtpKeys::password.defaultValue};

    Vsftpd vsftpd;
    const quint16 vsPort = freePort();
    if (!vsftpd.start(work.path(), theirsRoot, vsPort))
        return 1;
    const QString theirsUrl = QStringLiteral("ftp://127.0.0.1:%1/").arg(vsPort);

    const Target ours{"ours", oursUrl, oursLogin, oursRoot};
    const Target theirs{"vsftpd", theirsUrl, {}, theirsRoot};
    const Target theirsSynced{"vsftpd+sync", theirsUrl, {}, theirsRoot, true};
    const QList<const Target*> targets{&ours, &theirs, &theirsSynced};
    const qint64 rssBefore = peakRssKiB();
    runPhase(small, 100, sourceSmall, targets, work.path());
    const qint64 rssSmall = peakRssKiB();
    runPhase(large, 10, sourceLarge, targets, work.path());
    const qint64 rssLarge = peakRssKiB();
    out() << QStringLiteral("peak memory of this process (server): start %1 KiB, after small files %2 KiB, "
                            "after large files %3 KiB\n")
                 .arg(rssBefore)
                 .arg(rssSmall)
                 .arg(rssLarge)
          << Qt::flush;
    server.stop();
    return failed ? 2 : 0;
}
