#include "OnlineFixture.h"
#include "TestEnv.h"
#include "online/OnlineConfig.h"
#include "online/OnlineKeys.h"
#include "online/RemoteConfig.h"
#include "online/RemoteContentLoader.h"
#include "online/UpdateChecker.h"
#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace {

using Fetch = OnlineFixture;

std::optional<QString> fetch(const QString& name)
{
    std::optional<std::optional<QString>> got;
    RemoteContentLoader::fetchAsync(name, nullptr, [&](const auto& text) { got = text; });
    (void)QTest::qWaitFor([&] { return got.has_value(); }, 5000);
    return got.value_or(std::nullopt);
}

TEST_F(Fetch, OnlyAWholeSuccessfulUtf8ReplyYieldsText)
{
    const std::tuple<const char*, HttpStub::Route, std::optional<QString>> cases[] = {
        {"/x", {200, "slash"}, "slash"},
        {"empty.txt", {200, ""}, ""},
        {"missing.txt", {404, "error page"}, std::nullopt},
        {"latin1.txt", {200, "caf\xe9"}, std::nullopt},
        {"huge.txt", {200, QByteArray(RemoteFetch::kMaxBodyBytes + 1, 'a')}, std::nullopt},
        {"limit.txt", {200, QByteArray(RemoteFetch::kMaxBodyBytes, 'a')}, QString(RemoteFetch::kMaxBodyBytes, 'a')},
        {"silent.txt", {200, "late", 0, true}, std::nullopt},
        {"cut.txt", {200, "0123456789", 0, false, true}, std::nullopt}};
    for (const auto& [name, route, expected] : cases) {
        stub.route(QByteArray("/") + (name[0] == '/' ? name + 1 : name), route);
        EXPECT_EQ(fetch(name), expected) << name;
    }
    // The address keeps the doubled slash; Qt's HTTP layer merges it on the wire.
    EXPECT_EQ(OnlineConfig::remoteAddress("/x"), stub.base() + "/x");
    EXPECT_EQ(std::tuple(previous.contentMs, previous.updateCheckMs, previous.standardMs), std::tuple(3000, 10000, 60000));
}

TEST_F(Fetch, NoEndpointMeansNoRequestAndSwitchesKept)
{
    qunsetenv("TESSARY_REMOTE_BASE");
    QStringList lines;
    Log::Sink old = Log::setSink([&](const QString& l) { lines.append(l); });
    EXPECT_EQ(fetch("about.txt"), std::nullopt);
    UserDefaults::standard().set(OnlineKeys::remoteHiddenFeatures, QVariantList{"x"});
    loadRemoteConfig();
    loadRemoteConfig();
    QTest::qWait(50);
    Log::setSink(old);
    EXPECT_TRUE(stub.requests().isEmpty());
    EXPECT_EQ(UserDefaults::standard().array(OnlineKeys::remoteHiddenFeatures), QVariantList{"x"});
    EXPECT_EQ(lines.count("ℹ️ [在线服务] 未配置远程地址，版本检查与远程内容已停用"), 1);
}

TEST_F(Fetch, CallbackDroppedWhenItsContextGoes)
{
    stub.route("/slow.txt", HttpStub::Route{200, "x", 200});
    bool called = false;
    auto* context = new QObject;
    RemoteContentLoader::fetchAsync("slow.txt", context, [&](const auto&) { called = true; });
    ASSERT_TRUE(stub.waitForCount("/slow.txt", 1));
    delete context;
    QTest::qWait(400);
    EXPECT_FALSE(called);
}

TEST_F(Fetch, FeatureSwitchesParseLikeTheFileSays)
{
    const QStringList lines{"a|off", "a|OFF|x", " b | on | desc b ", "#c|off", "noline", "|off", "d|off||extra"};
    for (const char* end : {"\r\n", "\n"}) {
        const RemoteFeatureSwitches s = RemoteFeatureSwitches::parse(lines.join(end));
        EXPECT_EQ(s.hidden, QStringList({"a", "a", "#c", "", "d"}));
        EXPECT_EQ(s.descriptions, QVariantMap({{"a", "x"}, {"b", "desc b"}, {"d", ""}}));
    }
}

TEST_F(Fetch, FeatureSwitchesReplacedOnlyByAGoodReply)
{
    UserDefaults& d = UserDefaults::standard();
    auto load = [&](int status, const QByteArray& body) {
        stub.route("/features.txt", status, body);
        const int before = stub.count("/features.txt");
        loadRemoteConfig();
        stub.waitForCount("/features.txt", before + 1);
        QTest::qWait(100);
    };
    load(200, "a|off|x\n");
    EXPECT_EQ(d.array(OnlineKeys::remoteHiddenFeatures), QVariantList{"a"});
    load(500, "b|off\n");
    EXPECT_EQ(d.dictionary(OnlineKeys::remoteFeatureDescs), QVariantMap({{"a", "x"}}));
    load(200, "");
    EXPECT_EQ(d.array(OnlineKeys::remoteHiddenFeatures), QVariantList{});
    EXPECT_EQ(d.dictionary(OnlineKeys::remoteFeatureDescs), QVariantMap{});
}

// The update check and the feature switches against a stock static server.
TEST_F(Fetch, UpdateAndSwitchesFromAPlainWebServer)
{
    const QString root = TestEnv::root() + "/site";
    QDir().mkpath(root);
    for (const auto& [name, body] : {std::pair{"version.txt", "3.6\r\nhttps://d.example/x\r\nV3.6\r\n• 新\r\n"},
                                     std::pair{"features.txt", "在线选片|off|维护中\n"}}) {
        QFile f(root + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(body) > 0);
    }
    QProcess server;
    server.setWorkingDirectory(root);
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start("python3", {"-u", "-m", "http.server", "--bind", "127.0.0.1", "0"});
    ASSERT_TRUE(server.waitForStarted());
    QString port;
    const QRegularExpression serving("port (\\d+)");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(port = serving.match(server.peek(4096)).captured(1)).isEmpty(); }, 9000));
    RemoteFetch::setTimeouts({3000, 3000, 3000});
    qputenv("TESSARY_REMOTE_BASE", ("http://127.0.0.1:" + port).toUtf8()); // the final "/" is added

    UpdateChecker checker("V3.5");
    checker.checkForUpdate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return checker.updateResult().has_value(); }, 5000));
    EXPECT_EQ(*checker.updateResult(), UpdateResult::hasUpdate("3.6", "V3.6\n• 新", "https://d.example/x"));
    loadRemoteConfig();
    EXPECT_TRUE(QTest::qWaitFor([] { return UserDefaults::standard().hasStoredValue(OnlineKeys::remoteFeatureDescs); }, 5000));
    EXPECT_EQ(UserDefaults::standard().array(OnlineKeys::remoteHiddenFeatures), QVariantList{"在线选片"});
    server.kill();
    EXPECT_TRUE(server.waitForFinished());
}

}
