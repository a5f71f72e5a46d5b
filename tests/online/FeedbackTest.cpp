#include "OnlineFixture.h"

#include "online/FeedbackChatModel.h"
#include "online/FeedbackManager.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

constexpr qint64 kNow = 1796479199; // 2026-12-05 21:59:59 in Shanghai
const QByteArray read1 = "/token/one/requests?per_page=100", read2 = "/token/two/requests?per_page=100";

QByteArray list(const QList<QJsonObject>& bodies)
{
    QJsonArray data;
    for (const QJsonObject& b : bodies)
        data.append(QJsonObject{{"content", QString::fromUtf8(QJsonDocument(b).toJson())}});
    return QJsonDocument(QJsonObject{{"data", data}}).toJson();
}

QJsonObject reply(const QString& text, const QString& device = "DEV")
{
    return {{"deviceId", device}, {"isReply", true}, {"text", text}, {"time", "2026-12-05T13:00:00Z"}};
}

QStringList texts(const FeedbackChatModel& m)
{
    QStringList out;
    for (const FeedbackMessage& msg : m.messages())
        out << msg.text;
    return out;
}

struct FeedbackTest : OnlineFixture {
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("defaults.json")};
    bool configured = true;
    static QDateTime now() { return QDateTime::fromSecsSinceEpoch(kNow, Qt::UTC); }
    FeedbackManager manager{
        defaults,
        [this] { return configured ? std::optional(OnlineConfig::FeedbackInbox{stub.base().chopped(1), {"one", "two"}}) : std::nullopt; },
        [this] { return std::optional(stub.base() + "feedback.json"); }, &now};

    FeedbackTest() { defaults.set("feedback_device_id", "DEV"); }
    std::optional<bool> send(const QString& text)
    {
        std::optional<bool> result;
        manager.sendFeedback(text, nullptr, [&](bool ok) { result = ok; });
        (void)QTest::qWaitFor([&] { return result.has_value(); }, 5000);
        return result;
    }
    std::unique_ptr<FeedbackChatModel> chat()
    {
        auto model = std::make_unique<FeedbackChatModel>(manager, defaults, &now);
        model->setTiming({50, 20, 20, 5});
        return model;
    }
    QByteArray storedChat()
    {
        const QVariantList stored = defaults.array("local_feedback_messages").value_or(QVariantList());
        return QJsonDocument(QJsonArray::fromVariantList(stored)).toJson(QJsonDocument::Compact);
    }
};

TEST_F(FeedbackTest, PostsToTheFirstInboxThatTakesIt)
{
    const struct { HttpStub::Route first; int second; bool ok; int posts; } rows[] = {
        {{500, ""}, 200, true, 2}, {{200, ""}, 200, true, 1}, {{200, "", 0, true}, 200, true, 2}, {{404, ""}, 503, false, 2}};
    for (const auto& row : rows) {
        stub.route("/one", row.first);
        stub.route("/two", row.second, "");
        const qsizetype before = stub.requests().size();
        EXPECT_EQ(send("你好"), row.ok);
        const QList<HttpStub::Request> posts = stub.requests().mid(before);
        ASSERT_EQ(posts.size(), row.posts);
        EXPECT_EQ(posts.first().path, "/one");
        EXPECT_EQ(posts.last().body, posts.first().body);
    }
    EXPECT_EQ(QJsonDocument::fromJson(stub.requests().last().body).object(),
              QJsonObject({{"deviceId", "DEV"}, {"text", "你好"}, {"time", "2026-12-05T13:59:59Z"}}));

    // Too long, or nowhere to send: a failure without a request.
    const qsizetype before = stub.requests().size();
    EXPECT_EQ(send(QString(FeedbackManager::kMaxMessageBytes, 'x')), false);
    configured = false;
    EXPECT_EQ(send("hi"), false);
    manager.checkNewReplies();
    QTest::qWait(50);
    EXPECT_EQ(stub.requests().size(), before);
}

TEST_F(FeedbackTest, ANewReplyToThisDeviceRaisesTheDotOnce)
{
    QJsonObject noReply = reply("mine");
    noReply.remove("isReply");
    const struct { int status; QByteArray body; const char* key; } rows[] = {
        {200, list({reply("x", "OTHER"), noReply, QJsonObject{{"deviceId", "DEV"}, {"isReply", false}}}), nullptr},
        {200, "{\"data\":[{\"content\":\"{not json\"},{\"content\":5},7]}", nullptr},
        {404, list({reply("hi")}), nullptr},
        {200, list({reply("hi")}) + QByteArray(5 * 1024 * 1024, ' '), nullptr},
        {200, list({reply("👍🏽好的好的好的好的好的好的好的好的好的好的好的")}), "seen_reply_👍🏽好的好的好的好的好的好的好的好的好的好"},
        {200, list({reply("短"), reply("短")}), "seen_reply_短"},
        {200, list({reply("短")}), nullptr}};
    for (const auto& row : rows) {
        defaults.set("hasNewReply", false);
        stub.route(read1, row.status, row.body);
        manager.checkNewReplies();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !manager.isChecking(); }, 3000));
        EXPECT_EQ(defaults.boolean("hasNewReply"), row.key != nullptr) << row.body.left(80).toStdString();
        EXPECT_TRUE(!row.key || defaults.boolean(row.key));
    }
    EXPECT_EQ(defaults.dictionaryRepresentation().keys().filter("seen_reply_").size(), 2);

    // A check still waiting makes the next one redundant.
    stub.route(read1, {200, "", 0, true});
    const int reads = stub.count(read1);
    manager.checkNewReplies();
    manager.checkNewReplies();
    QTest::qWait(100);
    EXPECT_EQ(stub.count(read1), reads + 1);
}

TEST_F(FeedbackTest, ChatStoresOnlyWhatTheUserWroteAndMergesRepliesOnce)
{
    stub.route("/one", 200, "");
    {
        auto m = chat();
        m->start();
        EXPECT_FALSE(m->sendMessage(" \t\u3000"));
        ASSERT_TRUE(m->sendMessage("  你好 \u3000"));
        const QByteArray expected =
            "[{\"isUser\":true,\"text\":\"你好\",\"time\":\"" + now().toLocalTime().toString("HH:mm").toUtf8() + "\"}]";
        m->flush();
        EXPECT_EQ(storedChat(), expected);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m->isSending(); }, 3000));
        EXPECT_EQ(texts(*m).last(), FeedbackChatModel::successNotice());
        m->flush();
        EXPECT_EQ(storedChat(), expected); // the notice is never stored
    }
    // Reopened: one greeting; a reply in both inboxes and in two Unicode
    // forms is added once; a reply that merely mentions a failure is kept, as written.
    stub.route(read1, 200, list({reply("café"), reply("FTP发送失败怎么办<b>&")}));
    stub.route(read2, 200, list({reply("cafe\u0301"), reply("café")}));
    for (int open = 0; open < 2; ++open) {
        defaults.set("hasNewReply", false);
        const int reads = stub.count(read2);
        auto m = chat();
        m->start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return stub.count(read2) > reads && m->messages().size() == 4; }, 3000));
        QTest::qWait(40);
        EXPECT_EQ(texts(*m), QStringList({FeedbackChatModel::greeting(), "你好", "café", "FTP发送失败怎么办<b>&"}));
        EXPECT_EQ(defaults.boolean("hasNewReply"), open == 0);
    }
    // Only the notices themselves are transient; an element of another kind voids the whole list.
    const QVariantMap failure{{"isUser", false}, {"text", FeedbackChatModel::failureNotice()}};
    defaults.set("local_feedback_messages", QVariantList{QVariantMap{{"text", "FTP发送失败怎么办"}}, failure});
    auto m = chat();
    m->loadMessages();
    EXPECT_EQ(texts(*m), QStringList({FeedbackChatModel::greeting(), "FTP发送失败怎么办"}));
    defaults.set("local_feedback_messages", QVariantList{QVariantMap{}, 5});
    m->loadMessages();
    EXPECT_EQ(m->messages().size(), 2);
}

TEST_F(FeedbackTest, AClosedChatStopsItsWorkAndKeepsTheStoredChat)
{
    stub.route("/one", {200, "", 150});
    auto m = chat();
    m->start();
    ASSERT_TRUE(m->sendMessage("hi"));
    m.reset();
    EXPECT_NE(storedChat(), "[]");
    // The post still reaches the inbox; nothing of the closed chat runs after.
    EXPECT_TRUE(stub.waitForCount("/one", 1));
    defaults.set("local_feedback_messages", QVariantList{});
    QTest::qWait(300);
    EXPECT_EQ(storedChat(), "[]");
    EXPECT_EQ(stub.count(read1), 0);
}

// A message no inbox took stays failed: stored so, and shown with the
// failure notice when the chat opens again, also over a reread file.
TEST_F(FeedbackTest, AFailedSendStaysFailedAfterReopeningAndRestart)
{
    const struct { const char* what; int status; bool closedFirst; bool failed; } cases[] = {
        {"taken", 200, false, false},
        {"refused by both inboxes", 500, false, true},
        {"taken after the chat closed", 200, true, false},
        {"refused after the chat closed", 500, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        defaults.set("local_feedback_messages", QVariantList{});
        stub.route("/one", {c.status, "", c.closedFirst ? 100 : 0});
        stub.route("/two", c.status, "");
        {
            auto m = chat();
            m->start();
            ASSERT_TRUE(m->sendMessage("hi"));
            if (!c.closedFirst)
                ASSERT_TRUE(QTest::qWaitFor([&] { return !m->isSending(); }, 3000));
        }
        if (c.closedFirst) {
            // The answer comes after the chat has gone.
            if (c.failed)
                ASSERT_TRUE(QTest::qWaitFor([&] { return storedChat().contains("sendFailed"); }, 3000));
            else
                QTest::qWait(300);
        }
        const QString notice = c.failed ? FeedbackChatModel::failureNotice() : QString();
        const QStringList shown = QStringList({FeedbackChatModel::greeting(), "hi", notice}).filter(QRegularExpression(".+"));
        auto reopened = chat();
        reopened->loadMessages();
        EXPECT_EQ(texts(*reopened), shown);
        EXPECT_EQ(reopened->messages().at(1).sendFailed, c.failed);
        EXPECT_EQ(storedChat().contains(R"("sendFailed":true)"), c.failed) << storedChat().toStdString();

        UserDefaults restarted(defaults.filePath());
        FeedbackChatModel afterRestart(manager, restarted, &now);
        afterRestart.loadMessages();
        EXPECT_EQ(texts(afterRestart), shown);
        // The notice is shown, never stored.
        reopened->saveMessages();
        reopened->flush();
        EXPECT_EQ(storedChat().count("hi"), 1);
        EXPECT_FALSE(storedChat().contains(FeedbackChatModel::failureNotice().toUtf8()));
    }
}

TEST_F(FeedbackTest, ReplyTimesReadOnlyFullSecondsWithAZone)
{
    const std::pair<const char*, const char*> cases[] = {
        {"2026-12-05T13:00:00Z", "21:00"},           {"2026-12-05T21:00:00+08:00", "21:00"},
        {"2026-12-05T15:30:00-01:00", "12-06 00:30"}, {"2026-01-02T00:00:00Z", "01-02 08:00"},
        {"2025-12-31T15:59:59Z", "2025-12-31 23:59"}, {"2026-12-05T13:00:00.5Z", "2026-12-05T13:00:00.5Z"},
        {"2026-12-05T13:00:00", "2026-12-05T13:00:00"}, {"2026-02-30T13:00:00Z", "2026-02-30T13:00:00Z"},
        {"2026-12-05 13:00:00Z", "2026-12-05 13:00:00Z"}, {"", ""}};
    for (const auto& [time, shown] : cases)
        EXPECT_EQ(FeedbackChatModel::replyTime(time, FeedbackTest::now()), shown) << time; // shown in Asia/Shanghai
}

}
