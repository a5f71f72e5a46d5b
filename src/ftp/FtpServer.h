#pragma once

#include "ftp/FtpLimits.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QThread>

#include <chrono>
#include <memory>

class FtpListener;

// The camera upload server. Lives on the main thread; the listener, the control
// sessions and their data connections run on one worker thread of their own.
// `start` and `stop` return with `isRunning` already settled, so a caller can
// read it right after the call.
class FtpServer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    Q_PROPERTY(QString localIP READ localIP NOTIFY localIPChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY errorOccurred)
public:
    static constexpr quint16 kDefaultPort = 2121;

    explicit FtpServer(QObject* parent = nullptr);
    ~FtpServer() override;

    bool isRunning() const { return m_running; }
    QString localIP() const { return m_localIP; }
    // Why the last start failed or the listener stopped; empty while all is well.
    QString lastError() const { return m_lastError; }
    // The kind of the last start failure (SocketAccessError: the port needs privileges).
    QAbstractSocket::SocketError lastStartError() const { return m_lastStartError; }

    // Opens the control port (0 picks a free one) serving `rootDirectory`,
    // after removing what uploads cut off by a crash left there.
    void start(quint16 port, const QString& rootDirectory);
    // Closes the listener and every connection; partial uploads are removed.
    void stop();

    // The port actually listened on (differs from the requested one only for 0).
    quint16 serverPort() const { return m_boundPort; }
    QString rootDirectory() const { return m_rootDirectory; }
    // Whether a camera's file is arriving right now (quitting would cut it off).
    bool isReceiving() const;
    // Open control sessions right now (sessions that ended are gone).
    int sessionCount() const;

    // Taken by the next `start`.
    void setLimits(const FtpLimits& limits) { m_limits = limits; }
    const FtpLimits& limits() const { return m_limits; }

    // This machine's LAN address for a camera to type in, "127.0.0.1" when none.
    static QString getLocalIP();
    // The choice behind getLocalIP over (interface name, address) in system order.
    static QString chooseLocalIP(const QList<QPair<QString, QHostAddress>>& entries);


Q_SIGNALS:
    void isRunningChanged(bool running);
    void localIPChanged(const QString& address);
    // The listener could not start, or failed while running (the server is then stopped).
    void errorOccurred(const QString& message);

private:
    void setRunning(bool running);
    // Closes every connection and ends the worker thread; publishes nothing.
    void shutDown();
    void onListenerFailed(const QString& message);

    struct LiveAccess;

    QThread m_thread;
    // Read by the sessions on the worker thread, refreshed on whichever thread writes the store.
    std::shared_ptr<LiveAccess> m_access;
    FtpListener* m_listener = nullptr;
    bool m_running = false;
    QString m_localIP;
    QString m_lastError;
    QAbstractSocket::SocketError m_lastStartError = QAbstractSocket::UnknownSocketError;
    QString m_rootDirectory;
    quint16 m_port = kDefaultPort;
    quint16 m_boundPort = 0;
    FtpLimits m_limits;
};
