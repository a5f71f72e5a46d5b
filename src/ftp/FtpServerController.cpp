#include "FtpServerController.h"

#include "ftp/FtpAccess.h"
#include "ftp/FtpKeys.h"
#include "ftp/FtpServer.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QtConcurrent>

namespace {
const QString kStopped = QStringLiteral("服务器已关闭");
const QString kRunning = QStringLiteral("服务器正在运行");

QString portInUseText(const QString& port)
{
    return QStringLiteral("端口 ") + port + QStringLiteral(" 已被占用，请更换端口后重试");
}

QString stored(const char* key, const QString& whenAbsent)
{
    return UserDefaults::standard().string(QString::fromLatin1(key)).value_or(whenAbsent);
}
}

FtpServerController::FtpServerController(QObject* parent)
    : QObject(parent)
    , m_server(new FtpServer(this))
    , m_statusText(kStopped)
    , m_probe(&FtpServerController::isPortInUse)
{
    connect(m_server, &FtpServer::isRunningChanged, this, &FtpServerController::stateChanged);
    connect(m_server, &FtpServer::localIPChanged, this, &FtpServerController::stateChanged);
    // A listener that dies on its own leaves the status line honest.
    connect(m_server, &FtpServer::errorOccurred, this, [this] {
        if (!m_server->isRunning() && !m_starting) {
            m_statusText = kStopped;
            Q_EMIT stateChanged();
        }
    });
}

FtpServerController::~FtpServerController()
{
    // Closing the window ends every session and the worker thread.
    if (m_server->isRunning())
        m_server->stop();
}

bool FtpServerController::isRunning() const { return m_server->isRunning(); }

void FtpServerController::setNotice(const QString& text)
{
    m_noticeText = text;
    Q_EMIT stateChanged();
}

std::optional<quint16> FtpServerController::parsePort(const QString& text)
{
    qsizetype i = 0;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-'))
        i = 1;
    if (i >= text.size() || text.size() - i > 18)
        return std::nullopt;
    for (qsizetype k = i; k < text.size(); ++k) {
        if (text.at(k) < u'0' || text.at(k) > u'9')
            return std::nullopt;
    }
    const qlonglong value = text.toLongLong();
    if (value < 1 || value > 65535)
        return std::nullopt;
    return quint16(value);
}

bool FtpServerController::isPortInUse(quint16 port, int timeoutMs)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    const bool connected = socket.waitForConnected(timeoutMs);
    socket.abort();
    return connected;
}

void FtpServerController::setRootFolder(const QString& path)
{
    UserDefaults::standard().set(FtpKeys::rootPath, path);
    Log::line(QStringLiteral("📁 [FTP传输] 已选择根目录: ") + path);
    setNotice(QString());
}

void FtpServerController::startServer()
{
    if (m_starting || m_server->isRunning())
        return;
    const QString root = stored(FtpKeys::rootPath.name, QString());
    if (root.isEmpty())
        return setNotice(QStringLiteral("请先选择FTP根目录"));
    const QFileInfo folder(root);
    if (!folder.exists() || !folder.isDir())
        return setNotice(QStringLiteral("FTP根目录不存在或已失效，请重新选择文件夹"));
    if (!folder.isReadable())
        return setNotice(QStringLiteral("FTP根目录没有读取权限，请重新选择有权限的文件夹"));
    const auto port = parsePort(stored(FtpKeys::port.name, QStringLiteral("2121")));
    if (!port)
        return setNotice(QStringLiteral("端口号无效，请输入 1 ~ 65535 之间的数字"));

    // The probe may wait up to a second; the interface keeps running meanwhile.
    m_starting = true;
    Q_EMIT stateChanged();
    auto* watcher = new QFutureWatcher<bool>(this);
    const quint16 p = *port;
    connect(watcher, &QFutureWatcher<bool>::finished, this, [this, watcher, p, root] {
        watcher->deleteLater();
        finishStart(p, root, watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([probe = m_probe, p] { return probe(p, kProbeTimeoutMs); }));
}

void FtpServerController::finishStart(quint16 port, const QString& root, bool portInUse)
{
    m_starting = false;
    const QString portText = QString::number(port);
    auto refuse = [this](const QString& text) {
        setNotice(text);
        Q_EMIT startFinished(false);
    };
    if (portInUse)
        return refuse(portInUseText(portText));
    const FtpAccess access = FtpAccess::fromStore(UserDefaults::standard());
    if (access.userPerm != FtpAccess::kPermDisabled && access.username.isEmpty())
        return refuse(QStringLiteral("用户访问权限已开启，请填写用户名"));
    // A server nobody can log in to would show as running and refuse every camera.
    if (access.userPerm == FtpAccess::kPermDisabled && access.anonPerm == FtpAccess::kPermDisabled)
        return refuse(QStringLiteral("用户访问与匿名访问均已禁用，任何账号都无法登录，请至少开启一项访问权限"));
    m_server->start(port, root);
    if (m_server->isRunning()) {
        m_statusText = kRunning;
        m_noticeText.clear();
        Log::line(QStringLiteral("🚀 [FTP传输] 服务器已启动: 端口 ") + portText + QStringLiteral("，根目录 ") + root
                  + QStringLiteral("，本机IP ") + m_server->localIP());
    } else if (m_server->lastStartError() == QAbstractSocket::SocketAccessError) {
        m_noticeText = QStringLiteral("端口 ") + portText
            + QStringLiteral(" 需要管理员权限（1024 以下的端口受系统保护），请改用 1024 以上的端口，如 2121");
        Log::line(QStringLiteral("❌ [FTP传输] 启动失败: 端口 ") + portText + QStringLiteral(" 需要管理员权限"));
    } else if (m_server->lastStartError() == QAbstractSocket::AddressInUseError) {
        m_noticeText = portInUseText(portText);
        Log::line(QStringLiteral("❌ [FTP传输] 启动失败: 端口 ") + portText + QStringLiteral(" 已被占用"));
    } else {
        m_noticeText = QStringLiteral("FTP服务器启动失败，请检查端口是否被占用后重试");
        Log::line(QStringLiteral("❌ [FTP传输] 启动失败: 端口 ") + portText);
    }
    Q_EMIT stateChanged();
    Q_EMIT startFinished(m_server->isRunning());
}

void FtpServerController::stopServer()
{
    m_server->stop();
    m_statusText = kStopped;
    m_noticeText.clear();
    Log::line(QStringLiteral("🛑 [FTP传输] 服务器已停止，监听与所有连接已关闭"));
    Q_EMIT stateChanged();
}
