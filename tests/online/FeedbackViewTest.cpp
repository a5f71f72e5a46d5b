#include "OnlineFixture.h"

#include "online/FeedbackChatModel.h"
#include "online/FeedbackMessageRow.h"
#include "online/FeedbackView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QPointer>

#include "UserInput.h"

namespace {

struct FeedbackViewTest : OnlineFixture {
    FeedbackViewTest() { useInbox(true); }
    static QList<FeedbackMessageRow*> rows(const FeedbackView& v) { return v.findChildren<FeedbackMessageRow*>(); }
    static QAbstractButton* send(const FeedbackView& v) { return v.findChild<QAbstractButton*>("sendButton"); }
};

TEST_F(FeedbackViewTest, SendEnablesForTextOnlyWhileAnInboxIsSet)
{
    const std::pair<const char*, bool> inputs[] = {{"", false}, {" \t\u3000", false}, {"\n", true}, {" a ", true}};
    for (bool configured : {true, false}) {
        useInbox(configured);
        FeedbackView v;
        EXPECT_EQ(v.findChild<QWidget*>("feedbackInactiveNote")->isVisibleTo(&v), !configured);
        for (const auto& [text, enabled] : inputs) {
            v.findChild<QPlainTextEdit*>("feedbackInput")->setPlainText(QString::fromUtf8(text));
            EXPECT_EQ(send(v)->isEnabled(), enabled && configured) << text;
        }
    }
    EXPECT_EQ(FeedbackView::progressText(0.999), "正在上传... 99%");
    EXPECT_EQ(FeedbackView::progressText(1.0), "发送完成！");
}

TEST_F(FeedbackViewTest, AnInboxAddressWithAPathIsServedThere)
{
    stub.route("/hooks/in/one", 200, "");
    for (const char* address : {"/hooks/in", "/hooks/in/"}) {
        qputenv("TESSARY_FEEDBACK_INBOX", (stub.base().chopped(1) + address).toUtf8());
        const int before = stub.count("/hooks/in/one");
        FeedbackView v;
        v.resize(600, 700);
        v.show();
        ASSERT_FALSE(v.findChild<QWidget*>("feedbackInactiveNote")->isVisibleTo(&v)) << address;
        UserInput::type(v.findChild<QPlainTextEdit*>("feedbackInput"), "hello");
        UserInput::click(send(v));
        EXPECT_TRUE(stub.waitForCount("/hooks/in/one", before + 1, 3000)) << address;
    }
}

TEST_F(FeedbackViewTest, WithdrawRemovesOnlyThePressedMessage)
{
    const QVariantMap same{{"isUser", true}, {"text", "same"}, {"time", "10:00"}};
    UserDefaults::standard().set("local_feedback_messages", QVariantList{same, same});
    useInbox(false); // history and withdrawing work without an inbox
    FeedbackView v;
    v.show();
    ASSERT_EQ(rows(v).size(), 3);
    EXPECT_FALSE(rows(v).at(0)->withdrawRect().isValid());
    const QUuid kept = v.model()->messages().at(1).id;
    UserInput::click(rows(v).at(2), Qt::LeftButton, rows(v).at(2)->withdrawRect().center());
    ASSERT_EQ(v.model()->messages().size(), 2);
    EXPECT_EQ(v.model()->messages().at(1).id, kept);
    EXPECT_EQ(rows(v).size(), 2);
    v.model()->flush();
    EXPECT_EQ(UserDefaults::standard().array("local_feedback_messages")->size(), 1);
}

// A stored failed message opens with the failure notice under it.
TEST_F(FeedbackViewTest, AStoredFailedMessageShowsItsFailure)
{
    const QVariantMap failed{{"isUser", true}, {"text", "没发出去"}, {"time", "10:00"}, {"sendFailed", true}};
    const QVariantMap sent{{"isUser", true}, {"text", "发出去了"}, {"time", "10:01"}};
    UserDefaults::standard().set("local_feedback_messages", QVariantList{failed, sent});
    FeedbackView v;
    v.show();
    QStringList shown;
    for (FeedbackMessageRow* row : rows(v))
        shown << row->text();
    EXPECT_EQ(shown, QStringList({FeedbackChatModel::greeting(), "没发出去", FeedbackChatModel::failureNotice(), "发出去了"}));
}

TEST_F(FeedbackViewTest, PlaceholderShowsOnlyWhileEmptyAndUnfocused)
{
    FeedbackView v;
    v.show();
    QApplication::setActiveWindow(&v);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&v));
    auto* input = v.findChild<QPlainTextEdit*>("feedbackInput");
    auto* placeholder = v.findChild<QWidget*>("inputPlaceholder");
    EXPECT_TRUE(placeholder->isVisible());
    input->setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !placeholder->isVisible(); }, 1000));
    send(v)->setFocus(Qt::OtherFocusReason);
    input->clearFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return placeholder->isVisible(); }, 1000));
    input->setPlainText("x");
    EXPECT_FALSE(placeholder->isVisible());
}

TEST_F(FeedbackViewTest, BackWhileSendingClosesAtOnceAndMarksRepliesRead)
{
    stub.route("/one", {200, "", 400});
    const QJsonArray thread{QJsonObject{{"isUser", true}}, QJsonObject{{"isUser", false}, {"time", "t3"}}};
    stub.route("/feedback.json", 200, QJsonDocument(QJsonObject{{"DEV", QJsonObject{{"messages", thread}}}}).toJson());
    UserDefaults::standard().set("feedback_device_id", "DEV");
    auto* v = new FeedbackView;
    v->setAttribute(Qt::WA_DeleteOnClose);
    v->show();
    QPointer<FeedbackView> alive(v);
    v->findChild<QPlainTextEdit*>("feedbackInput")->setPlainText("hello");
    UserInput::click(send(*v));
    EXPECT_EQ(send(*v)->text(), "发送中…");
    EXPECT_TRUE(v->findChild<QWidget*>("sendProgressBar")->isVisible());
    UserInput::click(v->findChild<QAbstractButton*>("backButton"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 500));
    EXPECT_TRUE(QTest::qWaitFor([&] { return UserDefaults::standard().string("feedback_last_read_reply") == "t3"; }, 2000));
}

}
