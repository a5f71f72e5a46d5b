#pragma once

#include "ftp/FtpDataConnection.h"
#include "ftp/FtpSessionOptions.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class FtpPassiveListener;
class FtpUpload;
class QTcpSocket;

// One camera's control connection: greeting, login, the small command set a
// camera needs, and the passive listing and upload into the root folder.
// Lives on the server's worker thread; every handler runs there.
class FtpSession : public QObject
{
    Q_OBJECT
public:
    FtpSession(QTcpSocket* connection, const FtpSessionOptions& options, QObject* parent = nullptr);
    ~FtpSession() override;

    // Greets the client and starts reading commands.
    void start();
    // Closes the control connection, the passive listener and the data
    // connection; an unfinished upload is removed. Emits `finished` once.
    void stop();

    bool isClosed() const { return m_closed; }

Q_SIGNALS:
    void finished(FtpSession* session);

private:
    void sendReply(int code, const QString& message);
    void receiveCommand();
    void handleLine(QByteArray line);
    std::optional<QString> currentPerm() const;
    bool requireLogin();
    bool requireWrite();
    void handleCommand(const QString& line);
    void handleUser(const QString& argument);
    void handlePass(const QString& argument);
    void rejectLogin();
    void onLoginDelayElapsed();
    void onTimeLimit();
    void restartIdleTimer();
    bool isTransferring() const { return m_upload || m_listing; }

    void setupPassiveMode();
    void acceptDataConnection(int fd);
    // True when the command can run now; false when it was answered, or
    // when it waits for the client to connect to the passive port.
    bool takeDataConnection(const QString& command);
    // Closes the passive port; a command waiting for it gets 425.
    void closeDataPort();
    bool dataConnectionBusy();
    void handleList();
    void handleStor(const QString& filename);
    void onUploadStreamEnded(FtpDataConnection::End end);
    // Checks and syncs a file whose stream has ended; false after answering
    // the failure. True: the file is whole and may take its name.
    bool completeUpload(FtpDataConnection::End end);
    void nameUpload();
    // A named upload is kept once its client shows it is there, or when the
    // grace for an unread 226 has passed.
    void keepNamedUpload();
    // The client hung up: takes its last upload back if the 226 went unread.
    void settleNamedUpload();
    // Settles a running upload when the control connection ends: kept only
    // after a deliberate QUIT that came after a clean end of the stream.
    void settleUpload(bool quitting);
    void discardUpload();
    // Whether the client can still read a reply: no close or reset has
    // arrived on the control connection, read or not.
    bool controlOpen() const;
    void cancelTransfer();
    void dropDataConnection();

    QTcpSocket* m_connection;
    FtpSessionOptions m_options;
    FtpPassiveListener* m_dataListener = nullptr;
    FtpDataConnection* m_dataConnection = nullptr;
    bool m_isAnonymous = false;
    QString m_pendingUsername;
    bool m_isAuthenticated = false;

    QByteArray m_inbox;
    bool m_discardingLine = false;
    bool m_repliesBacklogged = false;
    bool m_closed = false;
    bool m_listing = false;
    std::unique_ptr<FtpUpload> m_upload;
    // The last upload, named and answered with 226, until its client shows
    // it is still there; with a copy of the control socket to read its end.
    std::unique_ptr<FtpUpload> m_namedUpload;
    int m_controlWatch = -1;
    QTimer m_unreadGrace;
    // The upload's stream ended cleanly while the control connection was
    // closing: what the client sent last decides whether the file is kept.
    bool m_uploadEnded = false;
    // The size the client announced with ALLO for its next upload, and the
    // one the running upload must reach.
    std::optional<qint64> m_announcedSize;
    std::optional<qint64> m_expectedSize;
    QTimer m_loginDelay;
    QTimer m_loginDeadline;
    QTimer m_idleTimer;
    QTimer m_dataConnectTimer;
    // The 227 of the last PASV, sent after a short pause.
    QTimer m_passiveReply;
    QString m_passiveReplyText;
    // A transfer command sent before its data connection arrived.
    QString m_awaitingData;
    int m_failedLogins = 0;
};
