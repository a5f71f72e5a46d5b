#include "FtpSession.h"

#include "ftp/FtpPassiveListener.h"
#include "ftp/FtpUpload.h"
#include "platform/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTcpSocket>

#include <cerrno>
#include <fcntl.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace {

const QString kVideoBlockedLine = QStringLiteral("【拦截视频，返回150并立刻关闭数据通道，未接收视频数据流】");

// Control replies of one session are tiny; a client that stops reading them
// must not make the server hold its socket forever after the session ended.
constexpr int kCloseGraceMs = 5000;

// curl before 8.4 sleeps a whole second before it connects to the passive
// port when the 227 is already waiting the moment it has sent PASV: it then
// switches state with nothing to wait on. A millisecond's pause lets it reach
// its wait first; a camera does not notice it.
constexpr std::chrono::milliseconds kPassiveReplyPause{1};

// A client whose process ends closes its data connection and its control
// connection apart, by microseconds or, on a busy system, by milliseconds, and
// which comes first is up to its system. When the control connection goes
// after the 226, a reset (the 226 arrived and was never read) or an end before
// the 226 arrived tells that the client did not see it: within this time the
// file is taken back. Later, a reset is the network's, and a file its client
// was told of stays.
constexpr std::chrono::milliseconds kUnreadReplyGrace{250};

bool isAllowedName(const QString& name)
{
    if (name.toUtf8().size() > FtpLimits::kMaxNameBytes)
        return false;
    for (const QChar c : name) {
        // C0, DEL and C1 alike.
        if (c.category() == QChar::Other_Control)
            return false;
    }
    // Would be taken for what a crash left behind and removed at the next start.
    return !FtpUpload::isTemporaryName(name);
}

// Final replies of a transfer that did not complete.
QString transferReplyText(int code)
{
    switch (code) {
    case 426:
        return QStringLiteral("Connection closed; transfer aborted");
    case 452:
        return QStringLiteral("Requested action not taken: insufficient storage space");
    case 550:
        return QStringLiteral("File exists");
    default:
        return QStringLiteral("Requested action aborted: local error in processing");
    }
}

int localFailureCode(int error)
{
    return FtpUpload::isOutOfSpace(error) ? 452 : 451;
}

QString pathExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

}

FtpSession::FtpSession(QTcpSocket* connection, const FtpSessionOptions& options, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_options(options)
{
    m_connection->setParent(this);
    // Replies are small and answer each command at once; without this every
    // second reply waits for the client's delayed acknowledgement.
    m_connection->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // A camera that sleeps or walks out of Wi-Fi range sends no FIN; without
    // probes its dead session would hold one of the few places for good.
    m_connection->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const int fd = int(m_connection->socketDescriptor());
    for (const auto& [option, value] : {std::pair{TCP_KEEPIDLE, FtpLimits::kKeepAliveIdleSeconds},
                                        std::pair{TCP_KEEPINTVL, 10}, std::pair{TCP_KEEPCNT, 6}})
        ::setsockopt(fd, IPPROTO_TCP, option, &value, sizeof(value));
    // While a failed login is delayed nothing is read; a client that keeps
    // sending meanwhile is held back by TCP instead of filling memory.
    m_connection->setReadBufferSize(64 * 1024);
    m_loginDelay.setSingleShot(true);
    connect(&m_loginDelay, &QTimer::timeout, this, &FtpSession::onLoginDelayElapsed);
    for (QTimer* timer : {&m_loginDeadline, &m_idleTimer, &m_dataConnectTimer})
        timer->setSingleShot(true);
    connect(&m_loginDeadline, &QTimer::timeout, this, &FtpSession::onTimeLimit);
    connect(&m_idleTimer, &QTimer::timeout, this, &FtpSession::onTimeLimit);
    connect(&m_dataConnectTimer, &QTimer::timeout, this, &FtpSession::closeDataPort);
    m_passiveReply.setSingleShot(true);
    m_passiveReply.setTimerType(Qt::PreciseTimer);
    connect(&m_passiveReply, &QTimer::timeout, this, [this] {
        sendReply(227, std::exchange(m_passiveReplyText, QString()));
        receiveCommand();
    });
    m_unreadGrace.setSingleShot(true);
    connect(&m_unreadGrace, &QTimer::timeout, this, &FtpSession::keepNamedUpload);
}

FtpSession::~FtpSession()
{
    keepNamedUpload();
    m_upload.reset();
}

void FtpSession::start()
{
    connect(m_connection, &QTcpSocket::readyRead, this, &FtpSession::receiveCommand);
    // A reply that cannot be written aborts the socket from inside the write;
    // the session ends on the next turn, never in the middle of a command.
    connect(
        m_connection, &QTcpSocket::disconnected, this,
        [this] {
            // Commands that arrived together with the end of the stream still count.
            receiveCommand();
            settleNamedUpload();
            stop();
        },
        Qt::QueuedConnection);
    connect(m_connection, &QTcpSocket::bytesWritten, this, [this] {
        if (m_repliesBacklogged && m_connection->bytesToWrite() < FtpLimits::kMaxPendingReplyBytes) {
            m_repliesBacklogged = false;
            QMetaObject::invokeMethod(this, &FtpSession::receiveCommand, Qt::QueuedConnection);
        }
    });
    // Counted from the connect, not from the last command: a peer that keeps
    // talking without logging in still loses its place.
    m_loginDeadline.start(m_options.limits.loginTimeout);
    restartIdleTimer();
    sendReply(220, QStringLiteral("FTP Server Ready"));
    if (m_connection->state() != QAbstractSocket::ConnectedState)
        stop();
    else if (m_connection->bytesAvailable() > 0)
        receiveCommand();
}

void FtpSession::stop()
{
    if (m_closed)
        return;
    m_closed = true;
    m_loginDelay.stop();
    m_loginDeadline.stop();
    m_idleTimer.stop();
    m_dataConnectTimer.stop();
    m_passiveReply.stop();
    keepNamedUpload();
    settleUpload(false);
    dropDataConnection();
    delete m_dataListener;
    m_dataListener = nullptr;

    // Let the last reply (221, 530) reach the client, then let go of the socket
    // independently of this session.
    QTcpSocket* socket = m_connection;
    socket->disconnect(this);
    socket->setParent(parent());
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
    } else {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kCloseGraceMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        socket->disconnectFromHost();
    }
    Q_EMIT finished(this);
}

void FtpSession::sendReply(int code, const QString& message)
{
    if (m_closed || m_connection->state() != QAbstractSocket::ConnectedState)
        return;
    m_connection->write(QString(QString::number(code) + u' ' + message + QStringLiteral("\r\n")).toUtf8());
    // Out now rather than on the next turn of the event loop: the camera waits
    // for each reply before its next step.
    m_connection->flush();
}

void FtpSession::receiveCommand()
{
    // Commands are lines; one segment may hold several and a line may span
    // segments. While a failed login is being delayed nothing more is read,
    // nor while the client leaves its replies unread: it is then held back by
    // TCP instead of growing our write buffer. Nor while a 227 is held back:
    // replies keep the order of their commands.
    while (!m_closed && !m_loginDelay.isActive() && !m_passiveReply.isActive() && m_awaitingData.isEmpty()) {
        if (m_connection->bytesToWrite() >= FtpLimits::kMaxPendingReplyBytes) {
            m_repliesBacklogged = true;
            break;
        }
        const qsizetype newline = m_inbox.indexOf('\n');
        if (newline >= 0) {
            QByteArray line = m_inbox.left(newline);
            m_inbox.remove(0, newline + 1);
            if (std::exchange(m_discardingLine, false))
                continue;
            handleLine(std::move(line));
            continue;
        }
        if (m_inbox.size() > FtpLimits::kMaxLineBytes + 1) {
            if (!m_discardingLine)
                sendReply(500, QStringLiteral("Line too long"));
            m_discardingLine = true;
            m_inbox.clear();
        }
        if (m_connection->bytesAvailable() <= 0)
            break;
        m_inbox += m_connection->read(8192);
    }
}

void FtpSession::handleLine(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.size() > FtpLimits::kMaxLineBytes) {
        sendReply(500, QStringLiteral("Line too long"));
        return;
    }
    // Whatever the client sends after a 226 shows it is still there.
    keepNamedUpload();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(line);
    if (decoder.hasError())
        return;
    restartIdleTimer();
    handleCommand(text.trimmed());
}

std::optional<QString> FtpSession::currentPerm() const
{
    if (!m_isAuthenticated)
        return std::nullopt;
    const FtpAccess access = m_options.access();
    return m_isAnonymous ? access.anonPerm : access.userPerm;
}

bool FtpSession::requireLogin()
{
    if (m_isAuthenticated)
        return true;
    sendReply(530, QStringLiteral("Not logged in"));
    return false;
}

bool FtpSession::requireWrite()
{
    if (currentPerm() == FtpAccess::kPermReadWrite)
        return true;
    sendReply(550, QStringLiteral("Permission denied"));
    return false;
}

void FtpSession::handleCommand(const QString& line)
{
    const qsizetype space = line.indexOf(u' ');
    const QString verb = (space < 0 ? line : line.left(space)).toUpper();
    const QString argument = space < 0 ? QString() : line.mid(space + 1);

    if (verb == u"USER") {
        handleUser(argument);
    } else if (verb == u"PASS") {
        handlePass(argument);
    } else if (verb == u"SYST") {
        sendReply(215, QStringLiteral("UNIX Type: L8"));
    } else if (verb == u"PWD" || verb == u"XPWD") {
        sendReply(257, QStringLiteral("\"/\" is current directory"));
    } else if (verb == u"CWD") {
        if (argument.isEmpty() || argument == u"/" || argument == u".")
            sendReply(250, QStringLiteral("Directory changed"));
        else
            sendReply(550, QStringLiteral("Only root directory is available"));
    } else if (verb == u"TYPE") {
        sendReply(200, QStringLiteral("Type set OK"));
    } else if (verb == u"NOOP") {
        sendReply(200, QStringLiteral("NOOP OK"));
    } else if (verb == u"OPTS") {
        sendReply(200, QStringLiteral("OK"));
    } else if (verb == u"ABOR") {
        cancelTransfer();
        sendReply(226, QStringLiteral("Abort successful"));
    } else if (verb == u"FEAT") {
        sendReply(211, QStringLiteral("No extensions"));
    } else if (verb == u"EPSV") {
        sendReply(522, QStringLiteral("Network protocol not supported, use PASV"));
    } else if (verb == u"PASV") {
        setupPassiveMode();
    } else if (verb == u"LIST" || verb == u"NLST") {
        if (requireLogin() && takeDataConnection(line))
            handleList();
    } else if (verb == u"STOR") {
        if (requireLogin() && requireWrite() && takeDataConnection(line))
            handleStor(argument);
    } else if (verb == u"ALLO") {
        // Cameras send ALLO before each upload and give up on anything but
        // 200 or 202. No space needs reserving, but the size tells a whole
        // file from one cut short.
        if (requireLogin()) {
            bool ok = false;
            const qint64 size = argument.section(u' ', 0, 0).toLongLong(&ok);
            m_announcedSize = ok && size >= 0 ? std::optional<qint64>(size) : std::nullopt;
            sendReply(202, QStringLiteral("ALLO command ignored"));
        }
    } else if (verb == u"QUIT") {
        settleUpload(true);
        sendReply(221, QStringLiteral("Goodbye"));
        stop();
    } else {
        sendReply(502, QStringLiteral("Command not implemented"));
    }
}

void FtpSession::handleUser(const QString& argument)
{
    m_isAuthenticated = false;
    QString name = argument;
    while (!name.isEmpty() && (name.front() == u' ' || name.front() == u'\t'))
        name.remove(0, 1);
    while (!name.isEmpty() && (name.back() == u' ' || name.back() == u'\t'))
        name.chop(1);

    const FtpAccess access = m_options.access();
    if (name.toLower() == u"anonymous") {
        if (access.anonPerm == FtpAccess::kPermDisabled) {
            sendReply(530, QStringLiteral("Anonymous access disabled"));
            return;
        }
        m_isAnonymous = true;
        m_pendingUsername.clear();
        sendReply(331, QStringLiteral("Anonymous login OK, send password"));
        return;
    }
    if (access.userPerm == FtpAccess::kPermDisabled) {
        sendReply(530, QStringLiteral("User login disabled"));
        return;
    }
    m_isAnonymous = false;
    m_pendingUsername = name;
    sendReply(331, QStringLiteral("User name okay, need password"));
}

void FtpSession::handlePass(const QString& argument)
{
    const FtpAccess access = m_options.access();
    if (m_isAnonymous) {
        if (access.anonPerm == FtpAccess::kPermDisabled) {
            sendReply(530, QStringLiteral("Anonymous access disabled"));
            return;
        }
        m_isAuthenticated = true;
        m_loginDeadline.stop();
        sendReply(230, QStringLiteral("Anonymous login successful"));
        return;
    }
    // A refused USER leaves the earlier name in place; "disabled" must still
    // mean no login when PASS follows it.
    if (!m_pendingUsername.isEmpty() && access.userPerm == FtpAccess::kPermDisabled) {
        sendReply(530, QStringLiteral("User login disabled"));
        return;
    }
    if (!m_pendingUsername.isEmpty() && m_pendingUsername == access.username && argument == access.password) {
        m_isAuthenticated = true;
        m_loginDeadline.stop();
        sendReply(230, QStringLiteral("Login successful"));
        return;
    }
    rejectLogin();
}

void FtpSession::rejectLogin()
{
    // Guessing the six-digit default must take hours, not seconds.
    ++m_failedLogins;
    m_loginDelay.start(m_options.limits.loginFailureDelay);
}

void FtpSession::restartIdleTimer()
{
    if (!m_closed)
        m_idleTimer.start(m_options.limits.idleTimeout);
}

void FtpSession::onTimeLimit()
{
    // A long upload sends no command, nor a session waiting for its data
    // connection (which has its own limit); only a session doing nothing is idle.
    if (m_isAuthenticated && (isTransferring() || !m_awaitingData.isEmpty())) {
        restartIdleTimer();
        return;
    }
    sendReply(421, QStringLiteral("Timeout."));
    stop();
}

void FtpSession::onLoginDelayElapsed()
{
    sendReply(530, QStringLiteral("Login incorrect"));
    if (m_failedLogins >= m_options.limits.maxFailedLogins) {
        stop();
        return;
    }
    receiveCommand();
}

// ---- Passive data connections ----

void FtpSession::setupPassiveMode()
{
    delete m_dataListener;
    m_dataListener = nullptr;

    // The address the camera already reached is the one it can reach again;
    // the interface look-up is only for a control connection over IPv6.
    bool isIPv4 = false;
    const quint32 local = m_connection->localAddress().toIPv4Address(&isIPv4);
    const bool reached = isIPv4 && local != 0;
    const QHostAddress bindAddress = reached ? QHostAddress(local) : QHostAddress(QHostAddress::Any);
    const QString address =
        reached ? bindAddress.toString() : (m_options.localAddress ? m_options.localAddress() : QString());
    if (address.isEmpty()) {
        sendReply(425, QStringLiteral("Can't open data connection"));
        return;
    }

    auto* listener = new FtpPassiveListener(m_connection->peerAddress(), this);
    if (!listener->listen(bindAddress, 0)) {
        delete listener;
        sendReply(425, QStringLiteral("Can't open data connection"));
        return;
    }
    m_dataListener = listener;
    m_dataConnectTimer.start(m_options.limits.dataConnectTimeout);
    connect(listener, &FtpPassiveListener::connectionArrived, this, &FtpSession::acceptDataConnection);
    connect(listener, &QTcpServer::acceptError, this, [this, listener] {
        if (m_dataListener == listener)
            closeDataPort();
    });

    const quint16 port = listener->serverPort();
    QString commas = address;
    commas.replace(u'.', u',');
    m_passiveReplyText = QStringLiteral("Entering Passive Mode (%1,%2,%3)").arg(commas).arg(port / 256).arg(port % 256);
    m_passiveReply.start(kPassiveReplyPause);
}

void FtpSession::acceptDataConnection(int fd)
{
    if (m_closed) {
        FtpDataConnection(fd).close();
        return;
    }
    cancelTransfer();
    m_dataConnectTimer.stop();
    m_dataConnection = new FtpDataConnection(fd, this);
    if (m_awaitingData.isEmpty())
        return;
    // On the next turn: the listener is still inside its accept here.
    QMetaObject::invokeMethod(this, [this] {
        if (m_closed || m_awaitingData.isEmpty())
            return;
        handleCommand(std::exchange(m_awaitingData, QString()));
        receiveCommand();
    }, Qt::QueuedConnection);
}

void FtpSession::closeDataPort()
{
    // A port nobody came to is not left open for anyone who finds it later.
    m_dataConnectTimer.stop();
    if (m_dataListener) {
        m_dataListener->close();
        m_dataListener->disconnect(this);
        m_dataListener->deleteLater(); // may be inside its own signal
        m_dataListener = nullptr;
    }
    if (m_awaitingData.isEmpty())
        return;
    m_awaitingData.clear();
    sendReply(425, QStringLiteral("Can't open data connection"));
    QMetaObject::invokeMethod(this, &FtpSession::receiveCommand, Qt::QueuedConnection);
}

void FtpSession::dropDataConnection()
{
    if (!m_dataConnection)
        return;
    FtpDataConnection* connection = std::exchange(m_dataConnection, nullptr);
    connection->disconnect(this);
    connection->close();
    connection->deleteLater();
}

void FtpSession::cancelTransfer()
{
    if (m_upload) {
        discardUpload();
        sendReply(426, transferReplyText(426));
    } else if (m_listing) {
        sendReply(426, transferReplyText(426));
    }
    m_listing = false;
    dropDataConnection();
}

bool FtpSession::takeDataConnection(const QString& command)
{
    // A client connects to the passive port and sends its command right away;
    // the connection may still wait in the backlog behind the command, and it
    // replaces an older one (left open by a refused STOR), so take it now.
    if (m_dataListener)
        m_dataListener->waitForNewConnection(0);
    if (m_dataConnection)
        return true;
    if (!m_dataListener || !m_dataConnectTimer.isActive()) {
        sendReply(425, QStringLiteral("Use PASV first"));
        return false;
    }
    // Some clients send the command first and connect after; it runs when
    // they do, and no other command is read meanwhile.
    m_awaitingData = command;
    return false;
}

bool FtpSession::dataConnectionBusy()
{
    // One transfer per data connection: a second command must not read from
    // or write to a connection that is still carrying the first.
    if (!m_upload && !m_listing)
        return false;
    sendReply(425, QStringLiteral("Can't open data connection"));
    return true;
}

void FtpSession::handleList()
{
    if (dataConnectionBusy())
        return;
    sendReply(150, QStringLiteral("Opening data connection"));
    if (m_closed || !m_dataConnection)
        return;

    QByteArray listing;
    const QDir root(m_options.rootDirectory);
    const QStringList names =
        root.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& name : names) {
        if (FtpUpload::isTemporaryName(name))
            continue;
        const bool isFolder = QFileInfo(root.filePath(name)).isDir();
        listing += (isFolder ? "d" : "-");
        listing += "rwxr-xr-x 1 owner group 0 Jan 01 00:00 ";
        listing += name.toUtf8();
        listing += "\r\n";
    }

    m_listing = true;
    FtpDataConnection* connection = m_dataConnection;
    connect(connection, &FtpDataConnection::sendFinished, this, [this, connection](bool ok) {
        if (connection != m_dataConnection)
            return;
        m_listing = false;
        dropDataConnection();
        restartIdleTimer();
        // A listing that did not arrive whole is not reported as complete.
        if (ok)
            sendReply(226, QStringLiteral("Transfer complete"));
        else
            sendReply(426, transferReplyText(426));
    });
    connection->send(listing);
}

void FtpSession::handleStor(const QString& filename)
{
    if (dataConnectionBusy())
        return;
    // An ALLO speaks for the one STOR that follows it.
    const std::optional<qint64> announced = std::exchange(m_announcedSize, std::nullopt);
    // Folder parts a camera sends are dropped: everything lands in the root.
    const QString name = filename.mid(filename.lastIndexOf(u'/') + 1);
    if (!isAllowedName(name)) {
        sendReply(553, QStringLiteral("File name not allowed"));
        return;
    }
    if (!m_options.access().allowVideo && FtpAccess::videoExtensions().contains(pathExtension(name).toLower())) {
        Log::line(kVideoBlockedLine + name);
        sendReply(150, QStringLiteral("Opening data connection for upload"));
        dropDataConnection();
        // A final reply, so the camera moves on instead of waiting for one.
        sendReply(550, QStringLiteral("Video uploads not allowed"));
        return;
    }
    if (name.isEmpty() || name == u"." || name == u"..") {
        sendReply(550, QStringLiteral("File exists"));
        return;
    }

    int error = 0;
    std::unique_ptr<FtpUpload> upload = FtpUpload::create(m_options.rootDirectory, name, &error);
    if (!upload) {
        if (error == EEXIST) {
            sendReply(550, QStringLiteral("File exists"));
        } else {
            const int code = localFailureCode(error);
            sendReply(code, transferReplyText(code));
        }
        return;
    }

    sendReply(150, QStringLiteral("Opening data connection for upload"));
    if (m_closed || !m_dataConnection)
        return;
    m_upload = std::move(upload);
    m_uploadEnded = false;
    m_expectedSize = announced;
    FtpDataConnection* connection = m_dataConnection;
    connect(connection, &FtpDataConnection::receiveFinished, this, [this, connection](FtpDataConnection::End end) {
        if (connection == m_dataConnection)
            onUploadStreamEnded(end);
    });
    FtpUpload* target = m_upload.get();
    connection->receive([target](const char* data, qsizetype size) { return target->write(data, size); });
}

void FtpSession::onUploadStreamEnded(FtpDataConnection::End end)
{
    dropDataConnection();
    restartIdleTimer();
    if (!m_upload || !completeUpload(end))
        return;
    // In stream mode the end of the data is only the client's close: a client
    // killed mid-upload ends it the same way. A file is whole only for a client
    // still there to read the 226; when its control connection is closing, the
    // lines it sent last (a QUIT or none) decide.
    if (controlOpen())
        nameUpload();
    else
        m_uploadEnded = true;
}

bool FtpSession::completeUpload(FtpDataConnection::End end)
{
    int code = 0;
    if (end == FtpDataConnection::End::ConnectionLost)
        code = 426;
    else if (end == FtpDataConnection::End::SinkFailed)
        code = localFailureCode(m_upload->error());
    else if (m_expectedSize && m_upload->bytesWritten() < *m_expectedSize)
        code = 451;
    else if (!m_upload->sync())
        code = localFailureCode(m_upload->error());
    if (code == 0)
        return true;
    discardUpload();
    sendReply(code, transferReplyText(code));
    return false;
}

void FtpSession::nameUpload()
{
    std::unique_ptr<FtpUpload> upload = std::move(m_upload);
    m_uploadEnded = false;
    // A name someone outside the server took meanwhile is not replaced.
    if (upload->commit()) {
        keepNamedUpload();
        const int watch = ::fcntl(int(m_connection->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
        sendReply(226, QStringLiteral("Transfer complete"));
        if (watch < 0) {
            upload->keep();
            return;
        }
        // The socket outlives the control connection's own close by this
        // copy, so its last state can be read when the client is gone.
        m_namedUpload = std::move(upload);
        m_controlWatch = watch;
        m_unreadGrace.start(kUnreadReplyGrace);
        return;
    }
    const int code = upload->error() == EEXIST ? 550 : localFailureCode(upload->error());
    sendReply(code, transferReplyText(code));
}

void FtpSession::discardUpload()
{
    if (m_upload)
        m_upload->discard();
    m_upload.reset();
    m_uploadEnded = false;
}

void FtpSession::settleUpload(bool quitting)
{
    if (!m_upload)
        return;
    if (!quitting) {
        // A hang-up, a reset or the server's stop: the client did not see the
        // transfer through, whatever reached the disk.
        discardUpload();
        dropDataConnection();
        return;
    }
    // The end of the stream and the QUIT after it can arrive in either order.
    if (!m_uploadEnded) {
        const auto end = m_dataConnection ? m_dataConnection->drain() : std::nullopt;
        dropDataConnection();
        if (!completeUpload(end.value_or(FtpDataConnection::End::ConnectionLost)))
            return;
    }
    nameUpload();
}

void FtpSession::keepNamedUpload()
{
    m_unreadGrace.stop();
    if (m_namedUpload)
        std::exchange(m_namedUpload, nullptr)->keep();
    if (m_controlWatch >= 0)
        ::close(std::exchange(m_controlWatch, -1));
}

void FtpSession::settleNamedUpload()
{
    if (!m_namedUpload)
        return;
    // A client that read the 226 closes with a FIN once the 226 has arrived;
    // one that closes with it unread, or dies, resets the connection, and one
    // that closed before it arrived leaves it unacknowledged.
    tcp_info info{};
    socklen_t size = sizeof(info);
    int unsent = 0;
    const bool known = ::getsockopt(m_controlWatch, IPPROTO_TCP, TCP_INFO, &info, &size) == 0
                       && ::ioctl(m_controlWatch, SIOCOUTQ, &unsent) == 0;
    if (known && (info.tcpi_state == TCP_CLOSE || unsent > 0))
        m_namedUpload->takeBack();
    keepNamedUpload();
}

bool FtpSession::controlOpen() const
{
    if (m_closed || m_connection->state() != QAbstractSocket::ConnectedState)
        return false;
    // The close may wait unread behind the last command.
    pollfd p{int(m_connection->socketDescriptor()), POLLRDHUP, 0};
    return ::poll(&p, 1, 0) >= 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) == 0;
}
