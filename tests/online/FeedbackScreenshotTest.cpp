#include "OnlineFixture.h"

#include "LayoutCheck.h"
#include "online/AboutAuthorPopupView.h"
#include "online/FeedbackChatModel.h"
#include "online/FeedbackManager.h"
#include "online/FeedbackView.h"
#include "online/TutorialPopupView.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"
#include "UserInput.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QPlainTextEdit>

// The feedback chat in each state and the tutorial and about popups:
// <build>/screenshots/feedback-*.png.
namespace {

using Shots = OnlineFixture;

void save(QWidget& w, const QString& name)
{
    QTest::qWait(30);
    expectCleanLayout(&w);
    const QString dir = QCoreApplication::applicationDirPath() + "/../../screenshots";
    QDir().mkpath(dir);
    ASSERT_TRUE(w.grab().save(dir + "/feedback-" + name + ".png")) << name.toStdString();
}

TEST_F(Shots, FeedbackChatAndPopupsInBothThemes)
{
    Fonts::installApplicationFont();
    stub.route("/one", {200, "", 0, true});
    stub.route("/tutorial.txt", 200, "入门：导入一张存储卡|https://t.example/1\n档期与收入|https://t.example/2\n");
    const QVariantList chat{
        QVariantMap{{"isUser", true}, {"text", "导入的时候能不能按相机型号分文件夹？"}, {"time", "09:12"}},
        QVariantMap{{"isUser", false}, {"text", "<b>可以</b>，下个版本会加上这个选项 & 开关。"}, {"time", "12-04 10:30"}},
        QVariantMap{{"isUser", true}, {"text", "我看到你已发送成功的提示了"}, {"time", "09:20"}},
        QVariantMap{{"isUser", true},
                    {"text", "还有一个很长的建议：FTP 传输的时候如果相机断开了，希望能在界面上看到是哪一张照片没有传完，"
                             "这样我就可以重新传那一张，而不是全部重来。https://example.com/a-very-long-address-without-breaks"},
                    {"time", "09:31"}}};
    for (AppThemeStyle style : AppThemeStyles::allCases()) {
        ThemeObserver::shared().setStyle(style);
        const QString theme = "-" + AppThemeStyles::rawValue(style);
        for (const char* state : {"chat", "sending", "inactive"}) {
            useInbox(state != QString("inactive"));
            UserDefaults::standard().set("local_feedback_messages", chat);
            FeedbackView view;
            view.show();
            if (state == QString("chat"))
                view.model()->merge({{FeedbackChatModel::successNotice(), ""}, {FeedbackChatModel::failureNotice(), ""}});
            if (state == QString("sending")) {
                UserInput::type(view.findChild<QPlainTextEdit*>("feedbackInput"), "谢谢！");
                UserInput::click(view.findChild<QAbstractButton*>("sendButton"));
                QTest::qWait(900);
            }
            save(view, state + theme);
        }
        TutorialPopupView tutorial;
        tutorial.show();
        (void)QTest::qWaitFor([&] { return !tutorial.tutorialLinks().isEmpty(); }, 1000);
        save(tutorial, "tutorial" + theme);
        AboutAuthorPopupView about;
        about.show();
        about.copyContactId();
        save(about, "about" + theme);
    }
}

}
