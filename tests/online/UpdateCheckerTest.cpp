#include "OnlineFixture.h"

#include "online/SoftwareUpdatePrefs.h"
#include "online/UpdateChecker.h"
#include "online/VersionFile.h"
#include "platform/UrlOpener.h"

#include <QSignalSpy>

namespace {

using Checker = OnlineFixture;

TEST_F(Checker, VersionFileVerdicts)
{
    const std::pair<const char*, UpdateResult> cases[] = {
        {"1.9\nurl\n", UpdateResult::hasUpdate("1.9", "最新版本，欢迎更新", "url")},
        {"\n 2.0 \r\n\r\nhttps://d\n\nV2.0 new\n  \n• fix\nV1.9 • item\nplain\nV1.8\nold\n",
         UpdateResult::hasUpdate("2.0", "V2.0 new\n• fix\nV1.9 • item\nplain", "https://d")},
        {"2.0\nu\n• a\n• b\nV1.9\n", UpdateResult::hasUpdate("2.0", "• a\n• b", "u")},
        {"1.5\nu\nV1.5\n", UpdateResult::isLatest()},
        {"1.4.9\nu\n", UpdateResult::isLatest()},
        {"1.9\n", UpdateResult::failed("检查更新失败，请检查网络连接")},
        {"<!DOCTYPE html>\n<html><body>请登录 Wi-Fi</body></html>\n", UpdateResult::failed("检查更新失败，请检查网络连接")},
        {"最新版本 2.0\nu\n", UpdateResult::failed("检查更新失败，请检查网络连接")},
        {"V1.9\nu\n", UpdateResult::hasUpdate("1.9", "最新版本，欢迎更新", "u")},
    };
    for (const auto& [file, expected] : cases)
        EXPECT_EQ(VersionFile::evaluate(file, "1.5"), expected) << file;
}

TEST_F(Checker, VersionComparison)
{
    const std::tuple<const char*, const char*, int> cases[] = {
        {"1.10", "1.9", 1}, {"1.5", "1.5.0", 0},    {"1.5.1", "1.5", 1}, {"2.0", "10.0", -1},
        {"V1.6", "1.5", 1}, {"1.5beta", "1.4", -1}, {"", "", 0},         {"+2.-1", "2", -1},
        {"99999999999999999999.1", "0.2", 1}};
    for (const auto& [a, b, result] : cases)
        EXPECT_EQ(UpdateChecker::compareVersions(a, b), result) << a << " " << b;
    EXPECT_EQ(UpdateChecker("VV1.5").localVersion(), "V1.5");
}

TEST_F(Checker, ChangelogIsEverythingAfterTheSecondNonEmptyLine)
{
    const std::pair<const char*, std::optional<QString>> cases[] = {
        {"2.0\nu\nA\n\nB\nC\n", "A\n\nB\nC"}, {"2.0\r\nu\r\nA\r\n\r\nB\r\n", "A\n\nB"},
        {"\n2.0\n\nu\n\nV2.0\n", "V2.0"},     {"2.0\nu\n", std::nullopt}, {"2.0\nu\n \n", std::nullopt}};
    for (const auto& [file, expected] : cases)
        EXPECT_EQ(VersionFile::changelog(file), expected) << file;
}

TEST_F(Checker, OneRequestPerCheckFlagBeforeResultTimeRecorded)
{
    stub.route("/version.txt", HttpStub::Route{200, "1.9\nurl\n", 50});
    UpdateChecker checker("V1.5");
    QStringList order;
    QObject::connect(&checker, &UpdateChecker::isCheckingChanged, [&](bool on) { order << (on ? "on" : "off"); });
    QObject::connect(&checker, &UpdateChecker::updateResultChanged, [&](auto r) { order << (r ? "result" : "none"); });
    checker.checkForUpdate();
    checker.checkForUpdate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return checker.updateResult().has_value(); }, 3000));
    EXPECT_EQ(stub.count("/version.txt"), 1);
    EXPECT_EQ(order, QStringList({"on", "none", "off", "result"}));
    EXPECT_EQ(*checker.updateResult(), UpdateResult::hasUpdate("1.9", "最新版本，欢迎更新", "url"));
    EXPECT_NEAR(SoftwareUpdatePrefs::lastCheckTimestamp(), QDateTime::currentSecsSinceEpoch(), 5);

    stub.route("/version.txt", 404, "9.9\nnot found\n");
    checker.checkForUpdate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return checker.updateResult().has_value(); }, 3000));
    EXPECT_EQ(checker.updateResult()->kind, UpdateResult::Kind::failed);
}

TEST_F(Checker, InactiveCheckPublishesNothing)
{
    qunsetenv("TESSARY_REMOTE_BASE");
    UpdateChecker checker("V1.5");
    QSignalSpy flags(&checker, &UpdateChecker::isCheckingChanged);
    SoftwareUpdateAutoCheck::runIfNeeded(&checker);
    checker.checkForUpdate();
    EXPECT_EQ(flags.size(), 0);
    EXPECT_EQ(SoftwareUpdatePrefs::lastCheckTimestamp(), 0);
}

TEST_F(Checker, OnlyWebAddressesAreOpened)
{
    QList<QUrl> opened;
    UrlOpener::Handler old = UrlOpener::setHandler([&](const QUrl& u) { opened.append(u); });
    UpdateChecker checker("V1.5");
    for (const char* text : {"https://e.com/d.dmg", "file:///etc/passwd", "smb://x", "http://", "javascript:x",
                             "HTTP://host/a", "not a url"})
        checker.openDownloadUrl(text);
    UrlOpener::setHandler(old);
    EXPECT_EQ(opened, QList<QUrl>({QUrl("https://e.com/d.dmg"), QUrl("HTTP://host/a")}));
}

TEST_F(Checker, Preferences)
{
    UserDefaults& d = UserDefaults::standard();
    EXPECT_TRUE(SoftwareUpdatePrefs::autoCheckEnabled());
    d.set("autoCheckUpdate", "no");
    EXPECT_TRUE(SoftwareUpdatePrefs::autoCheckEnabled());
    d.set("autoCheckUpdate", false);
    EXPECT_FALSE(SoftwareUpdatePrefs::autoCheckEnabled());
    const std::tuple<double, const char*, const char*> cases[] = {{1764943200.5, "Asia/Shanghai", "2025年12月5日 22:00"},
                                                                  {1764943200.5, "UTC", "2025年12月5日 14:00"},
                                                                  {0, "UTC", "尚未检查"}, {-1, "UTC", "尚未检查"}};
    for (const auto& [stored, zone, text] : cases) {
        d.set("lastUpdateCheckTime", stored);
        EXPECT_EQ(SoftwareUpdatePrefs::lastCheckText(QTimeZone(zone)), text) << zone;
    }
}

}
