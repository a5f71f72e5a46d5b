#pragma once

#include <QHash>
#include <QMap>
#include <QObject>

class QTcpServer;

// A scripted HTTP/1.1 server on 127.0.0.1 (port 0) for the online services.
// Each path answers as set (status, body, delay, silence, a close half-way
// through the body), other paths 404; every request is recorded. While it
// lives, "TESSARY_REMOTE_BASE" points at it.
class HttpStub : public QObject
{
    Q_OBJECT
public:
    struct Route {
        int status = 200;
        QByteArray body;
        int delayMs = 0;
        bool silent = false;       // read the request, never answer
        bool closeMidBody = false; // announce the whole body, send half, close
    };
    struct Request {
        QByteArray method, path, body;
        QMap<QByteArray, QByteArray> headers; // names in lower case
    };

    HttpStub();
    ~HttpStub() override;

    QString base() const; // "http://127.0.0.1:<port>/"
    void route(const QByteArray& path, const Route& route) { m_routes.insert(path, route); }
    void route(const QByteArray& path, int status, const QByteArray& body) { route(path, Route{status, body}); }
    const QList<Request>& requests() const { return m_requests; }
    int count(const QByteArray& path) const;
    bool waitForCount(const QByteArray& path, int n, int timeoutMs = 5000) const;

private:
    QTcpServer* m_server;
    QHash<QByteArray, Route> m_routes;
    QList<Request> m_requests;
    QByteArray m_previousBase;
};
