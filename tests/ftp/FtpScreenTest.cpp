#include "FtpTestSupport.h"
#include "UserInput.h"

#include "ftp/FtpBigButton.h"
#include "ftp/FtpServerController.h"
#include "ftp/FtpTransferView.h"
#include "ui/ElidedLabel.h"
#include "ui/ThemeObserver.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolButton>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace FtpTest;

namespace {
const QString kNobodyCanLogIn = QStringLiteral("用户访问与匿名访问均已禁用，任何账号都无法登录，请至少开启一项访问权限");

// Drops or restores the calling thread's right to listen on ports below 1024.
bool setBindPrivilege(bool on)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    const quint32 bit = 1u << CAP_NET_BIND_SERVICE;
    if (!(data[0].permitted & bit))
        return true; // never had it
    data[0].effective = on ? (data[0].effective | bit) : (data[0].effective & ~bit);
    return ::syscall(SYS_capset, &header, data) == 0;
}

// A fresh store, a controller and its page, with the folder dialog scripted.
class FtpScreenTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const QString& key : UserDefaults::standard().dictionaryRepresentation().keys())
            UserDefaults::standard().remove(key);
        QDir(base.path()).mkdir("root");
        view = std::make_unique<FtpTransferView>(&controller);
        view->setFolderChooser([this](QWidget*, std::function<void(QString)> done) { done(chosen); });
        view->resize(900, 1200);
        view->show();
    }
    template <class T> T* child(const QString& name) { return view->findChild<T*>(name); }
    QString notice() { return child<QLabel>("ftpNotice")->isVisible() ? child<QLabel>("ftpNotice")->text() : QString(); }
    // Presses start and waits for the port probe to answer.
    void start()
    {
        QSignalSpy finished(&controller, &FtpServerController::startFinished);
        UserInput::click(child<QWidget>("ftpStartButton"));
        if (controller.isStarting())
            finished.wait(5000);
    }
    QString root() const { return base.filePath("root"); }

    QTemporaryDir base;
    QString chosen;
    FtpServerController controller;
    std::unique_ptr<FtpTransferView> view;
};
}

TEST_F(FtpScreenTest, AFreshStoreShowsTheDefaults)
{
    EXPECT_EQ(child<QLineEdit>("ftpPortField")->text(), "2121");
    EXPECT_EQ(child<QLineEdit>("ftpUsernameField")->text(), "482917");
    EXPECT_EQ(child<QLineEdit>("ftpPasswordField")->text(), "482917");
    EXPECT_TRUE(child<QToolButton>("ftpUserPermMenu")->text().startsWith("读与写"));
    EXPECT_TRUE(child<QToolButton>("ftpAnonPermMenu")->text().startsWith("禁用"));
    EXPECT_EQ(child<ElidedLabel>("ftpRootPath")->text(), "未选择文件夹");
    EXPECT_EQ(child<QLabel>("ftpStatus")->text(), "服务器已关闭");
    // The address a start will announce, never the "any" address.
    EXPECT_EQ(child<QLabel>("ftpLocalIP")->text(), FtpServer::getLocalIP());
    EXPECT_NE(child<QLabel>("ftpLocalIP")->text(), "0.0.0.0");
    // Tutorial buttons with no page to open are not offered.
    for (QPushButton* button : view->findChildren<QPushButton*>())
        EXPECT_FALSE(button->isVisible() && button->text().contains("教程")) << button->text().toStdString();
    EXPECT_EQ(notice(), "");
    EXPECT_TRUE(UserDefaults::standard().dictionaryRepresentation().isEmpty());
}

TEST_F(FtpScreenTest, StartChecksRunInOrderAndEachGivesOneNotice)
{
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    QFile(base.filePath("file")).open(QIODevice::WriteOnly);
    struct Case { QVariantMap prefs; QString notice; };
    const QList<Case> cases{
        {{}, "请先选择FTP根目录"},
        {{{"ftpRootPath", base.filePath("gone")}}, "FTP根目录不存在或已失效，请重新选择文件夹"},
        {{{"ftpRootPath", base.filePath("file")}}, "FTP根目录不存在或已失效，请重新选择文件夹"},
        {{{"ftpRootPath", root()}, {"ftpPort", " 2121"}}, "端口号无效，请输入 1 ~ 65535 之间的数字"},
        {{{"ftpRootPath", root()}, {"ftpPort", "65536"}}, "端口号无效，请输入 1 ~ 65535 之间的数字"},
        {{{"ftpRootPath", root()}, {"ftpPort", QString::number(taken.serverPort())}},
         "端口 " + QString::number(taken.serverPort()) + " 已被占用，请更换端口后重试"},
        {{{"ftpRootPath", root()}, {"ftpPort", "0"}, {"ftpUsername", ""}}, "端口号无效，请输入 1 ~ 65535 之间的数字"},
        {{{"ftpRootPath", root()}, {"ftpPort", QString::number(freePort())}, {"ftpUsername", ""}},
         "用户访问权限已开启，请填写用户名"},
        // No account can log in: the last refusal, after every other one.
        {{{"ftpRootPath", root()}, {"ftpPort", QString::number(freePort())}, {"ftpUserPerm", "禁用"},
          {"ftpAnonPerm", "禁用"}, {"ftpUsername", ""}},
         kNobodyCanLogIn},
        {{{"ftpRootPath", root()}, {"ftpPort", QString::number(taken.serverPort())}, {"ftpUserPerm", "禁用"},
          {"ftpAnonPerm", "禁用"}},
         "端口 " + QString::number(taken.serverPort()) + " 已被占用，请更换端口后重试"},
    };
    // The page as the default window shows it (1100 x 700 less sidebar and top
    // bar): scrolled as far as the button, the refusal reads there.
    view->resize(880, 632);
    auto* scroll = view->findChild<QScrollArea*>();
    ASSERT_TRUE(scroll);
    QLabel* line = child<QLabel>("ftpNotice");
    for (const Case& c : cases) {
        UserDefaults::standard().setValues(c.prefs);
        scroll->verticalScrollBar()->setValue(0);
        UserInput::scrollIntoView(child<QWidget>("ftpStartButton"));
        start();
        EXPECT_EQ(notice(), c.notice) << c.notice.toStdString();
        EXPECT_FALSE(controller.isRunning());
        EXPECT_TRUE(UserInput::wholeInView(line)) << c.notice.toStdString();
        for (const QString& key : c.prefs.keys())
            UserDefaults::standard().remove(key);
    }
    chosen = root();
    UserInput::clickInView(child<QWidget>("ftpRootButton"));
    EXPECT_EQ(notice(), "") << "a folder choice clears the notice";
    EXPECT_EQ(UserDefaults::standard().string("ftpRootPath"), root());

    struct Port { QString text; std::optional<quint16> port; };
    for (const Port& p : QList<Port>{{"2121", 2121}, {"+2121", 2121}, {"0021", 21}, {"1", 1}, {"65535", 65535},
                                     {"", {}}, {"-", {}}, {"-1", {}}, {"21a", {}}, {"2121 ", {}}, {"99999999999999999999", {}}})
        EXPECT_EQ(FtpServerController::parsePort(p.text), p.port) << p.text.toStdString();
}

TEST_F(FtpScreenTest, ARunningServerLocksTheControlsAndTakesAnFtplibUpload)
{
    const quint16 port = freePort();
    ASSERT_NE(port, 0);
    UserDefaults::standard().set("ftpPort", QString::number(port));
    UserDefaults::standard().set("ftpRootPath", root());
    UserDefaults::standard().set("ftpUsername", "");
    start();
    EXPECT_EQ(notice(), "用户访问权限已开启，请填写用户名");
    UserDefaults::standard().set("ftpUsername", "482917");
    QToolButton* permission = child<QToolButton>("ftpUserPermMenu");
    const QImage unlocked = permission->grab().toImage();
    start();
    ASSERT_TRUE(controller.isRunning()) << notice().toStdString();
    EXPECT_NE(permission->grab().toImage(), unlocked) << "a locked menu looks locked";
    EXPECT_EQ(child<QLabel>("ftpStatus")->text(), "服务器正在运行");
    EXPECT_FALSE(child<QLineEdit>("ftpPortField")->isEnabled());
    EXPECT_FALSE(child<QToolButton>("ftpUserPermMenu")->isEnabled());
    EXPECT_FALSE(child<QWidget>("ftpStartButton")->isEnabled());
    EXPECT_TRUE(child<QWidget>("ftpRootButton")->isEnabled());

    const ProcessResult camera = ftplibUpload(port, "a.jpg", "photo");
    EXPECT_EQ(camera.exitCode, 0) << camera.err.toStdString();
    EXPECT_EQ(readFile(root() + "/a.jpg"), "photo");

    UserInput::click(child<QWidget>("ftpStopButton"));
    EXPECT_FALSE(controller.isRunning());
    EXPECT_EQ(child<QLabel>("ftpStatus")->text(), "服务器已关闭");
    EXPECT_TRUE(child<QLineEdit>("ftpPortField")->isEnabled());
}

TEST_F(FtpScreenTest, TheLocalAddressKeepsItsPlateThroughThemeSwitches)
{
    QWidget* plate = child<QWidget>("ftpLocalIPPlate");
    ASSERT_TRUE(plate);
    QWidget* section = plate->parentWidget();
    const AppThemeStyle first = ThemeObserver::shared().style();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QImage before = section->grab().toImage();
    for (AppThemeStyle style : AppThemeStyles::allCases())
        ThemeObserver::shared().setStyle(style);
    ThemeObserver::shared().setStyle(first);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(child<QLabel>("ftpLocalIP")->mapTo(plate, QPoint()), QPoint(10, 7));
    EXPECT_EQ(section->grab().toImage(), before);
}

TEST_F(FtpScreenTest, APortThatNeedsPrivilegesSaysSo)
{
    UserDefaults::standard().set("ftpRootPath", root());
    UserDefaults::standard().set("ftpPort", "21");
    // Root may bind any port: the start is made without that privilege (the
    // server's thread, made by this start, inherits this thread's set).
    ASSERT_TRUE(setBindPrivilege(false));
    start();
    ASSERT_TRUE(setBindPrivilege(true));
    if (controller.isRunning())
        GTEST_SKIP() << "this system lets anyone listen on port 21";
    EXPECT_EQ(notice(), "端口 21 需要管理员权限（1024 以下的端口受系统保护），请改用 1024 以上的端口，如 2121");
}

TEST_F(FtpScreenTest, ScreenshotsStoppedAndRunningInBothThemes)
{
    const QString dir = QCoreApplication::applicationDirPath() + "/../../screenshots";
    QDir().mkpath(dir);
    auto shoot = [&](const QString& state) {
        for (AppThemeStyle style : AppThemeStyles::allCases()) {
            ThemeObserver::shared().setStyle(style);
            QTest::qWait(10);
            EXPECT_TRUE(view->grab().save(dir + "/ftp-" + state + "-" + AppThemeStyles::rawValue(style) + ".png"));
        }
    };
    UserDefaults::standard().set("ftpRootPath", root());
    UserDefaults::standard().set("ftpPort", "0021x");
    start();
    shoot("stopped");
    UserDefaults::standard().set("ftpPort", QString::number(freePort()));
    start();
    ASSERT_TRUE(controller.isRunning());
    shoot("running");
    controller.stopServer();
}
