#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class FtpServer;

// The FTP server as the window sees it: one server for as long as the main
// window lives, so a camera's upload survives a switch to another page. The
// FTP page is rebuilt on every visit and shows this object's state.
class FtpServerController : public QObject
{
    Q_OBJECT
public:
    // Whether something on this machine accepts connections on `port` at
    // 127.0.0.1 within `timeoutMs`; a time-out counts as free.
    using PortProbe = std::function<bool(quint16 port, int timeoutMs)>;

    explicit FtpServerController(QObject* parent = nullptr);
    ~FtpServerController() override;

    static constexpr int kProbeTimeoutMs = 1000;

    FtpServer* server() const { return m_server; }
    bool isRunning() const;
    QString statusText() const { return m_statusText; }
    QString noticeText() const { return m_noticeText; }
    // True while a start waits for its port probe.
    bool isStarting() const { return m_starting; }

    // Runs the start checks in order; the first that fails sets the notice.
    // The port probe runs off the interface thread, so the start completes
    // later (`startFinished`).
    void startServer();
    void stopServer();
    // Stores a chosen root folder and clears the notice.
    void setRootFolder(const QString& path);

    // The port a text names: an optional sign and ASCII digits only, 1-65535.
    static std::optional<quint16> parsePort(const QString& text);
    static bool isPortInUse(quint16 port, int timeoutMs);
    void setPortProbe(PortProbe probe) { m_probe = std::move(probe); }

Q_SIGNALS:
    void stateChanged();
    void startFinished(bool running);

private:
    void setNotice(const QString& text);
    void finishStart(quint16 port, const QString& root, bool portInUse);

    FtpServer* m_server = nullptr;
    QString m_statusText;
    QString m_noticeText;
    bool m_starting = false;
    PortProbe m_probe;
};
