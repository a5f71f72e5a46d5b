#include "../ftp/FtpTestSupport.h"
#include "UserInput.h"

#include "app/ContentView.h"
#include "app/MainWindow.h"
#include "ftp/FtpServerController.h"

using namespace FtpTest;

TEST(QuitWhileUploading, AsksFirstAndOnlyWhileAFileArrives)
{
    QTemporaryDir root;
    MainWindow w;
    w.show();
    FtpServer* server = w.contentView()->ftpController()->server();
    server->start(0, root.path());
    ASSERT_TRUE(server->isRunning());
    int asked = 0;
    QList<bool> answers{false, true};
    w.setQuitQuestion([&] {
        ++asked;
        return answers.takeFirst();
    });

    // A camera logged in but sending nothing: no question.
    Client camera(server->serverPort(), true);
    ASSERT_TRUE(camera.ready);
    EXPECT_TRUE(w.confirmQuit());
    EXPECT_EQ(asked, 0);

    auto data = camera.startUpload(root.filePath("a.jpg"), "first half");
    ASSERT_TRUE(data);
    UserInput::key(&w, Qt::Key_Q, Qt::ControlModifier); // "继续传输"
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(server->isRunning());
    writeAll(*data, ", second half");
    data->disconnectFromHost();
    EXPECT_EQ(camera.reply(), kComplete);
    EXPECT_EQ(readFile(root.filePath("a.jpg")), "first half, second half");

    data = camera.startUpload(root.filePath("b.jpg"), "cut");
    ASSERT_TRUE(data);
    EXPECT_TRUE(w.close()); // "退出"
    EXPECT_EQ(asked, 2);
    server->stop();
    EXPECT_FALSE(QFile::exists(root.filePath("b.jpg")));
}
