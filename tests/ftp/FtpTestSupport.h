#pragma once

// A real server on a free loopback port with a temporary root, and a small
// line-oriented client for driving it byte by byte.

#include "ftp/FtpServer.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
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

inline QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    for (qsizetype i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x & 0xff);
    }
    return bytes;
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void setPref(const char* key, const QVariant& value)
{
    UserDefaults::standard().set(QLatin1String(key), value);
}

// The server under test, started on port 0 with a fresh root folder.
class Server
{
public:
    explicit Server(std::chrono::milliseconds loginDelay = std::chrono::milliseconds(20))
    {
        server.setLoginFailureDelay(loginDelay);
        server.start(0, root.path());
    }
    quint16 port() const { return server.serverPort(); }
    QString path(const QString& name) const { return root.filePath(name); }

    QTemporaryDir root;
    FtpServer server;
};

// A control connection read one reply line at a time.
class Client
{
public:
    explicit Client(quint16 port, const QHostAddress& host = QHostAddress::LocalHost)
    {
        socket.connectToHost(host, port);
        connected = socket.waitForConnected(kWaitMs);
    }

    // The next reply line without CR LF; empty when none came in time.
    QString reply(int timeoutMs = kWaitMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (!socket.canReadLine()) {
            const int left = timeoutMs - int(timer.elapsed());
            if (left <= 0 || !socket.waitForReadyRead(left))
                break;
        }
        if (!socket.canReadLine())
            return {};
        QByteArray line = socket.readLine();
        if (line.endsWith("\r\n"))
            line.chop(2);
        return QString::fromUtf8(line);
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

    bool login(const QString& user = FtpServer::kDefaultAccount, const QString& password = FtpServer::kDefaultAccount)
    {
        return command("USER " + user).startsWith("331") && command("PASS " + password).startsWith("230");
    }

    // Sends PASV and returns the announced port (0 when the reply is not 227).
    quint16 pasv(QString* replyLine = nullptr)
    {
        const QString line = command("PASV");
        if (replyLine)
            *replyLine = line;
        static const QRegularExpression re(R"(^227 Entering Passive Mode \((\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\)$)");
        const auto m = re.match(line);
        if (!m.hasMatch())
            return 0;
        return quint16(m.captured(5).toInt() * 256 + m.captured(6).toInt());
    }

    // PASV plus a connected data socket.
    std::unique_ptr<QTcpSocket> openData(const QHostAddress& from = QHostAddress())
    {
        const quint16 dataPort = pasv();
        auto data = std::make_unique<QTcpSocket>();
        if (!from.isNull())
            data->bind(from);
        data->connectToHost(QHostAddress::LocalHost, dataPort);
        // Once connected it waits in the server's backlog, where the next
        // command finds it.
        if (dataPort == 0 || !data->waitForConnected(kWaitMs))
            return nullptr;
        return data;
    }

    bool waitClosed(int timeoutMs = kWaitMs)
    {
        if (socket.state() == QAbstractSocket::UnconnectedState)
            return true;
        return socket.waitForDisconnected(timeoutMs) || socket.state() == QAbstractSocket::UnconnectedState;
    }

    QTcpSocket socket;
    bool connected = false;
};

// Everything until the peer closes.
inline QByteArray readAll(QTcpSocket& socket)
{
    QByteArray all;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(kWaitMs))
        all += socket.readAll();
    all += socket.readAll();
    return all;
}

// Ends a connection with a reset instead of an orderly close.
inline void resetConnection(QTcpSocket& socket)
{
    const linger hard{1, 0};
    ::setsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
    socket.abort();
}

inline void writeAll(QTcpSocket& socket, const QByteArray& bytes)
{
    socket.write(bytes);
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(kWaitMs)) {
    }
}

struct ProcessResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ProcessResult run(const QString& program, const QStringList& arguments, int timeoutMs = 60000)
{
    QProcess process;
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// Runs a Python script (ftplib is in the standard library) with extra arguments.
inline ProcessResult python(const QString& script, const QStringList& arguments = {})
{
    return run(QStringLiteral("python3"), QStringList{QStringLiteral("-c"), script} + arguments);
}

}
