#pragma once

// A real server on a free loopback port with a temporary root, and a small
// line-oriented client for driving it byte by byte.

#include "ftp/FtpServer.h"
#include "ftp/FtpUpload.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/socket.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace FtpTest {

constexpr int kWaitMs = 5000;
inline const QString kUploading = QStringLiteral("150 Opening data connection for upload");
inline const QString kComplete = QStringLiteral("226 Transfer complete");
inline const QString kAborted = QStringLiteral("426 Connection closed; transfer aborted");

inline QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QList<quint32> words((size + 3) / 4);
    QRandomGenerator(seed).fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char*>(words.constData()), size);
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline void setPref(const char* key, const QVariant& value)
{
    UserDefaults::standard().set(QLatin1String(key), value);
}

// Bytes received so far into hidden temporary files in `folder`.
inline qint64 bytesReceived(const QString& folder)
{
    qint64 total = 0;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& file : files)
        total += FtpUpload::isTemporaryName(file.fileName()) ? file.size() : 0;
    return total;
}

inline bool closed(QTcpSocket& socket)
{
    return socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(kWaitMs)
           || socket.state() == QAbstractSocket::UnconnectedState;
}

inline void writeAll(QTcpSocket& socket, const QByteArray& bytes)
{
    socket.write(bytes);
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(kWaitMs)) {
    }
}

// Ends a connection with a reset instead of an orderly close.
inline void resetConnection(QTcpSocket& socket)
{
    const linger hard{1, 0};
    ::setsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
    socket.abort();
}

// Everything until the peer closes.
inline QByteArray readAll(QTcpSocket& socket)
{
    QByteArray all;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(kWaitMs))
        all += socket.readAll();
    return all + socket.readAll();
}

struct ProcessResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ProcessResult run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

inline QStringList curlArguments(quint16 port, const QStringList& arguments, const QString& url = {})
{
    return QStringList{"-sS", "--max-time", "50", "--user", "482917:482917"} + arguments
           << QStringLiteral("ftp://127.0.0.1:%1/%2").arg(port).arg(url);
}

// Curl logged in with the default account; `url` follows the server's root.
inline ProcessResult curl(quint16 port, const QStringList& arguments, const QString& url = {})
{
    return run("curl", curlArguments(port, arguments, url));
}

// A camera's upload as `name` through python3's ftplib of `text`, or with
// `fromFile` of the file at the path `text`; prints the final reply.
inline ProcessResult ftplibUpload(quint16 port, const QString& name, const QString& text, bool fromFile = false)
{
    static const char* const script = R"PY(
import ftplib, io, sys
data = open(sys.argv[3], 'rb').read() if sys.argv[4] == 'file' else sys.argv[3].encode()
ftp = ftplib.FTP()
ftp.connect('127.0.0.1', int(sys.argv[1]), timeout=20)
ftp.login('482917', '482917')
print(ftp.storbinary('STOR ' + sys.argv[2], io.BytesIO(data)))
ftp.quit()
)PY";
    return run("python3", {"-c", script, QString::number(port), name, text, fromFile ? "file" : "text"});
}

// A loopback port nobody listens on (closed again before it is returned).
inline quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// The server under test, started on port 0 serving the folder "root" in a
// fresh temporary folder (made in `under` when given), where nothing else is
// unless a test puts it there.
struct Server
{
    explicit Server(std::chrono::milliseconds loginDelay = std::chrono::milliseconds(20))
        : Server(withLoginDelay(loginDelay))
    {
    }
    explicit Server(const FtpLimits& limits, const QString& under = QDir::tempPath())
        : base(under + QStringLiteral("/ftp-test-XXXXXX"))
    {
        QDir(base.path()).mkdir("root");
        server.setLimits(limits);
        server.start(0, root());
    }
    static FtpLimits withLoginDelay(std::chrono::milliseconds delay)
    {
        FtpLimits limits;
        limits.loginFailureDelay = delay;
        return limits;
    }
    quint16 port() const { return server.serverPort(); }
    QString root() const { return base.filePath("root"); }
    QString path(const QString& name) const { return root() + "/" + name; }
    QStringList entries() const
    {
        return QDir(root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QTemporaryDir base;
    FtpServer server;
};

// A control connection read one reply line at a time; `logIn` also takes the
// greeting and logs in with the default account (`ready` tells if it worked).
struct Client
{
    explicit Client(quint16 port, bool logIn = false)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        ready = socket.waitForConnected(kWaitMs) && (!logIn || (!reply().isEmpty() && login()));
    }

    // The next reply line without CR LF; empty when none came in time.
    QString reply()
    {
        const QDeadlineTimer deadline(kWaitMs);
        while (!socket.canReadLine() && socket.waitForReadyRead(int(deadline.remainingTime()))) {
        }
        const QByteArray line = socket.canReadLine() ? socket.readLine() : QByteArray();
        return QString::fromUtf8(line.endsWith("\r\n") ? line.chopped(2) : line);
    }

    void send(const QByteArray& raw)
    {
        socket.write(raw);
        socket.flush();
    }

    QString command(const QString& line)
    {
        send(line.toUtf8() + "\r\n");
        return reply();
    }

    bool login() { return command("USER 482917").startsWith("331") && command("PASS 482917").startsWith("230"); }

    // The port a PASV reply announces, 0 when it is not one.
    static quint16 passivePort(const QString& line)
    {
        static const QRegularExpression re(R"(^227 Entering Passive Mode \((\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\)$)");
        const auto m = re.match(line);
        return m.hasMatch() ? quint16(m.captured(5).toInt() * 256 + m.captured(6).toInt()) : 0;
    }
    quint16 pasv() { return passivePort(command("PASV")); }

    // A data socket connected to passive `port`. Once connected it waits in
    // the server's backlog, where the next command finds it.
    static std::unique_ptr<QTcpSocket> dataTo(quint16 port)
    {
        auto data = std::make_unique<QTcpSocket>();
        data->connectToHost(QHostAddress::LocalHost, port);
        return port != 0 && data->waitForConnected(kWaitMs) ? std::move(data) : nullptr;
    }
    std::unique_ptr<QTcpSocket> openData() { return dataTo(pasv()); }

    // Sends the rest of an upload's `bytes` and ends its data stream: the final reply.
    QString finish(QTcpSocket& data, const QByteArray& bytes)
    {
        writeAll(data, bytes);
        data.disconnectFromHost();
        return reply();
    }

    // STOR `name` on a fresh data connection: the refusal, or after 150 the
    // final reply once `bytes` are sent and the data connection closed.
    QString upload(const QString& name, const QByteArray& bytes = {})
    {
        auto data = openData();
        if (!data)
            return QStringLiteral("no data connection");
        const QString first = command("STOR " + name);
        return first == kUploading ? finish(*data, bytes) : first;
    }

    // STOR `name` and send `bytes` without ending the stream; the open data
    // connection once the server has written them (to its temporary file:
    // nothing is under the final name yet).
    std::unique_ptr<QTcpSocket> startUpload(const QString& file, const QByteArray& bytes)
    {
        auto data = openData();
        if (!data || command("STOR " + QFileInfo(file).fileName()) != kUploading)
            return nullptr;
        writeAll(*data, bytes);
        const QString folder = QFileInfo(file).path();
        const bool written = QTest::qWaitFor(
            [&] { return bytesReceived(folder) == bytes.size() && !QFileInfo::exists(file); }, kWaitMs);
        return written ? std::move(data) : nullptr;
    }

    bool waitClosed() { return closed(socket); }

    QTcpSocket socket;
    bool ready = false;
};

}
