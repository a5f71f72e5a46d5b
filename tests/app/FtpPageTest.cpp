#include "app/ContentView.h"
#include "ftp/FtpServer.h"
#include "ftp/FtpServerController.h"
#include "ftp/FtpTransferView.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "UserInput.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString line(QTcpSocket& s)
{
    while (!s.canReadLine() && s.waitForReadyRead(5000)) {
    }
    return QString::fromUtf8(s.readLine()).trimmed();
}
QString command(QTcpSocket& s, const QByteArray& text)
{
    s.write(text + "\r\n");
    return line(s);
}
}

// The server belongs to the window: leaving the FTP page mid-upload keeps the
// camera's transfer going, and closing the window stops the server.
TEST(FtpPage, AnUploadSurvivesPageSwitchesAndClosingStopsTheServer)
{
    QTemporaryDir root;
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    UserDefaults::standard().set("ftpRootPath", root.path());
    UserDefaults::standard().set("ftpPort", QString::number(port));

    auto content = std::make_unique<ContentView>();
    content->resize(1100, 700);
    content->show();
    NotificationCenter::defaultCenter().post("NavigateToMenu", QString("FTP传输"));
    ASSERT_TRUE(qobject_cast<FtpTransferView*>(content->currentScreen()));
    FtpServerController* controller = content->ftpController();
    QSignalSpy started(controller, &FtpServerController::startFinished);
    UserInput::click(content->currentScreen()->findChild<QWidget*>("ftpStartButton"));
    // The click may let the start finish before the wait begins.
    ASSERT_TRUE(!started.isEmpty() || started.wait(5000));
    ASSERT_TRUE(controller->isRunning());

    QTcpSocket control;
    control.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(control.waitForConnected(5000));
    line(control);
    command(control, "USER 482917");
    ASSERT_TRUE(command(control, "PASS 482917").startsWith("230"));
    const QString pasv = command(control, "PASV");
    const QStringList parts = pasv.section('(', 1).section(')', 0, 0).split(',');
    ASSERT_EQ(parts.size(), 6) << pasv.toStdString();
    QTcpSocket data;
    data.connectToHost(QHostAddress::LocalHost, quint16(parts[4].toInt() * 256 + parts[5].toInt()));
    ASSERT_TRUE(data.waitForConnected(5000));
    ASSERT_TRUE(command(control, "STOR big.jpg").startsWith("150"));
    data.write(QByteArray(100000, 'a'));
    data.flush();

    NotificationCenter::defaultCenter().post("NavigateToMenu", QString("自动导片"));
    QTest::qWait(50);
    data.write(QByteArray(100000, 'b'));
    while (data.bytesToWrite() > 0 && data.waitForBytesWritten(5000)) {
    }
    data.disconnectFromHost();
    if (data.state() != QAbstractSocket::UnconnectedState)
        data.waitForDisconnected(5000);
    EXPECT_TRUE(line(control).startsWith("226"));
    EXPECT_EQ(QFileInfo(root.filePath("big.jpg")).size(), 200000);

    NotificationCenter::defaultCenter().post("NavigateToMenu", QString("FTP传输"));
    auto* status = content->currentScreen()->findChild<QLabel*>("ftpStatus");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->text(), "服务器正在运行");

    content.reset();
    QTcpSocket after;
    after.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_FALSE(after.waitForConnected(1000)) << "no listener is left once the window is gone";
}
