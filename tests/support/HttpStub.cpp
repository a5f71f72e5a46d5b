#include "HttpStub.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

HttpStub::HttpStub()
    : m_server(new QTcpServer(this))
    , m_previousBase(qgetenv("TESSARY_REMOTE_BASE"))
{
    m_server->listen(QHostAddress::LocalHost, 0);
    qputenv("TESSARY_REMOTE_BASE", base().toUtf8());
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        QTcpSocket* socket = m_server->nextPendingConnection();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer = QByteArray()]() mutable {
            buffer += socket->readAll();
            const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
            Request r;
            const QList<QByteArray> lines = buffer.left(std::max<qsizetype>(headEnd, 0)).split('\n');
            for (const QByteArray& line : lines.mid(1))
                if (const qsizetype colon = line.indexOf(':'); colon > 0)
                    r.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
            const qsizetype length = r.headers.value("content-length").toLongLong();
            if (headEnd < 0 || buffer.size() < headEnd + 4 + length)
                return;
            const QList<QByteArray> first = lines[0].trimmed().split(' ');
            r.method = first.value(0);
            r.path = first.value(1);
            r.body = buffer.mid(headEnd + 4, length);
            m_requests.append(r);
            const Route route = m_routes.value(r.path, Route{404, "not found"});
            if (route.silent)
                return;
            QTimer::singleShot(route.delayMs, socket, [socket, route] {
                socket->write("HTTP/1.1 " + QByteArray::number(route.status) + " Stub\r\nContent-Length: "
                              + QByteArray::number(route.body.size()) + "\r\nConnection: close\r\n\r\n"
                              + (route.closeMidBody ? route.body.left(route.body.size() / 2) : route.body));
                socket->disconnectFromHost();
            });
        });
    });
}

HttpStub::~HttpStub()
{
    if (m_previousBase.isEmpty())
        qunsetenv("TESSARY_REMOTE_BASE");
    else
        qputenv("TESSARY_REMOTE_BASE", m_previousBase);
}

QString HttpStub::base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_server->serverPort()); }

int HttpStub::count(const QByteArray& path) const
{
    return int(std::count_if(m_requests.begin(), m_requests.end(), [&](const Request& r) { return r.path == path; }));
}

bool HttpStub::waitForCount(const QByteArray& path, int n, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return count(path) >= n; }, timeoutMs);
}
