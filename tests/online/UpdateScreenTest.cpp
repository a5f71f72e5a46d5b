#include "OnlineFixture.h"

#include "online/ChangelogPopupView.h"
#include "ui/PlateButton.h"
#include "online/SectionCard.h"
#include "online/SoftwareUpdateView.h"
#include "online/UpdateChecker.h"
#include "platform/UrlOpener.h"
#include "UserInput.h"
#include "ui/AppTheme.h"
#include "ui/SystemColors.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextEdit>

namespace {

using Status = SoftwareUpdateView::Status;

struct UpdateEnv : OnlineEnv {
    UpdateChecker checker{"V1.5"};
    void check(const HttpStub::Route& route)
    {
        stub.route("/version.txt", route);
        checker.checkForUpdate();
        (void)QTest::qWaitFor([&] { return checker.updateResult().has_value(); }, 3000);
    }
};
struct Screen : ::testing::Test, UpdateEnv {};

QString label(QWidget* root, const char* name)
{
    auto* l = root->findChild<QLabel*>(name);
    return l && l->isVisibleTo(root) ? l->text() : QString("<none>");
}
QString rowText(ChangelogPopupView& p) { return p.rows()->toPlainText(); }

TEST_F(Screen, StatusCardFollowsTheChecker)
{
    const struct { const char* name; std::function<void(UpdateEnv&)> setup; Status status; const char* icon;
                   QColor color; const char* title; const char* detail; } cases[] = {
        {"none", [](UpdateEnv&) {}, Status::noResult, "checkmark.circle.fill", SystemColors::green(), "Kelvara 已是最新版本",
         "上次检查：尚未检查"},
        {"latest", [](UpdateEnv& s) { s.check({200, "1.5\nu\n"}); }, Status::latest, "checkmark.circle.fill",
         SystemColors::green(), "Kelvara 已是最新版本", nullptr},
        {"update", [](UpdateEnv& s) { s.check({200, "1.9\nhttps://d.example/x\nV1.9\n• a\n"}); }, Status::update,
         "arrow.down.circle.fill", QColor::fromRgbF(0.804f, 0.357f, 0.169f), "发现新版本 V1.9", "<none>"},
        {"failed", [](UpdateEnv& s) { s.check({404, "9.9\nu\n"}); }, Status::failed, "exclamationmark.triangle.fill",
         SystemColors::orange(), "检查更新失败，请稍后再试", "网络连接异常或版本文件无法读取"},
        {"checking over an old result",
         [](UpdateEnv& s) {
             s.check({200, "1.9\nu\n"});
             s.stub.route("/version.txt", HttpStub::Route{200, "1.9\nu\n", 0, true});
             s.checker.checkForUpdate();
         },
         Status::checking, "arrow.triangle.2.circlepath", AppTheme::gold(), "正在检查更新…", "<none>"},
        {"inactive", [](UpdateEnv&) { qunsetenv("TESSARY_REMOTE_BASE"); }, Status::inactive, "info.circle",
         SystemColors::gray(), "未配置更新服务器", "此版本无法在线检查更新"},
    };
    for (const auto& c : cases) {
        UpdateEnv s;
        c.setup(s);
        SoftwareUpdateView view(&s.checker, {});
        SCOPED_TRACE(c.name);
        EXPECT_EQ(std::tuple(view.status(), view.statusCard()->iconName(), view.statusCard()->iconColor()),
                  std::tuple(c.status, QString(c.icon), c.color));
        EXPECT_EQ(label(view.statusCard(), "statusTitle"), c.title);
        if (c.detail)
            EXPECT_EQ(label(view.statusCard(), "statusDetail"), c.detail);
        auto* button = view.findChild<PlateButton*>("checkButton");
        EXPECT_EQ(button->isEnabled(), c.status != Status::checking && c.status != Status::inactive);
        EXPECT_EQ(button->text(), c.status == Status::checking ? "检查中…" : "检查更新");
    }
}

// Published versions written with a "V", or with a suffix, against a local 1.5.
TEST_F(Screen, AVersionWrittenWithAVOrASuffixComparesByItsNumbers)
{
    const struct { const char* first; Status status; const char* title; } cases[] = {
        {"V4.0", Status::update, "发现新版本 V4.0"},
        {"v4.0", Status::update, "发现新版本 V4.0"},
        {"V1.5", Status::latest, "Kelvara 已是最新版本"},
        {"v1.4.9", Status::latest, "Kelvara 已是最新版本"},
        {"1.6.0-beta", Status::update, "发现新版本 V1.6.0-beta"},
        {"1.5.0-beta", Status::latest, "Kelvara 已是最新版本"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        UpdateEnv s;
        s.check({200, QByteArray(c.first) + "\nhttps://d.example/x\n"});
        SoftwareUpdateView view(&s.checker, {});
        EXPECT_EQ(view.status(), c.status);
        EXPECT_EQ(label(view.statusCard(), "statusTitle"), c.title);
    }
}

// A hotel network answers every address with its login page.
TEST_F(Screen, ALoginPageInsteadOfTheVersionFileIsAFailedCheckThatStoresNothing)
{
    const QByteArray page = "<!DOCTYPE html>\n<html><head><title>登录</title></head><body>欢迎</body></html>\n";
    stub.route("/version.txt", 200, page);
    SoftwareUpdateView view(&checker, {});
    view.resize(700, 900);
    view.show();
    UserInput::click(view.findChild<PlateButton*>("checkButton"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return checker.updateResult().has_value(); }, 3000));
    EXPECT_EQ(view.status(), Status::failed);
    EXPECT_FALSE(UserDefaults::standard().hasStoredValue("lastUpdateCheckTime"));

    ChangelogPopupView popup;
    popup.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return stub.count("/version.txt") == 2; }, 3000));
    QTest::qWait(50);
    EXPECT_FALSE(UserDefaults::standard().hasStoredValue("changelogCache"));
    EXPECT_FALSE(rowText(popup).contains("DOCTYPE"));
}

TEST_F(Screen, DownloadOpensTheAddressAndBackRunsTheAction)
{
    QList<QUrl> opened;
    UrlOpener::Handler old = UrlOpener::setHandler([&](const QUrl& u) { opened.append(u); });
    bool backed = false;
    SoftwareUpdateView view(&checker, [&] { backed = true; });
    check({200, "1.9\nhttps://d.example/x\nV1.9\n" + QByteArray("• line\n").repeated(40)});
    view.resize(700, 900);
    view.show();
    QApplication::processEvents(); // laid out, as before any user can click
    EXPECT_EQ(view.findChild<QPlainTextEdit*>("logBox")->parentWidget()->height(), 130);
    UserInput::click(view.findChild<PlateButton*>("downloadButton"));
    UserInput::click(view.findChild<PlateButton*>("backButton"));
    UrlOpener::setHandler(old);
    EXPECT_EQ(opened, QList<QUrl>{QUrl("https://d.example/x")});
    EXPECT_TRUE(backed);
}

TEST_F(Screen, ChangelogCardLoadsOnceAndNeverRetries)
{
    for (int status : {200, 500}) {
        stub.route("/version.txt", status, "2.0\r\nhttps://d\r\nV2.0\r\n\r\n• a\r\n");
        SoftwareUpdateView view(&checker, {});
        view.resize(700, 600);
        view.show();
        auto* toggle = view.findChild<QAbstractButton*>("changelogToggle");
        auto* text = view.findChild<QPlainTextEdit*>("changelogText");
        const int before = stub.count("/version.txt");
        for (int i = 0; i < 3; ++i)
            UserInput::click(toggle);
        ASSERT_TRUE(QTest::qWaitFor([&] { return text->toPlainText() != "加载中..."; }, 3000));
        QTest::qWait(50);
        EXPECT_EQ(stub.count("/version.txt") - before, 1);
        EXPECT_EQ(text->toPlainText(), status == 200 ? "V2.0\n\n• a" : "加载失败");
        EXPECT_EQ(text->isVisible() ? text->height() : 0, 280);
    }
}

TEST_F(Screen, PopupShowsTheCacheKeepsItOnFailureAndReplacesItWithFreshText)
{
    UserDefaults& d = UserDefaults::standard();
    {
        stub.route("/version.txt", HttpStub::Route{200, "", 0, true});
        ChangelogPopupView p;
        EXPECT_EQ(rowText(p), "加载中...");
    }
    d.set("changelogCache", "V1.0\n<b>x</b>");
    stub.route("/version.txt", 500, "");
    {
        ChangelogPopupView p;
        EXPECT_EQ(rowText(p), "V1.0\n<b>x</b>");
        QTest::qWait(100);
        EXPECT_EQ(rowText(p), "V1.0\n<b>x</b>");
    }
    stub.route("/version.txt", 200, "2.0\nu\n\nV2.0 • new\n【新增】\n<i>plain</i>\n\nV1.9\n");
    ChangelogPopupView p;
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowText(p).startsWith("V2.0"); }, 3000));
    EXPECT_EQ(d.string("changelogCache"), "V2.0 • new\n【新增】\n<i>plain</i>\n\nV1.9");
    const std::tuple<int, bool, QColor> rows[] = {{17, true, AppTheme::textGold()},
                                                  {14, true, AppTheme::withOpacity(AppTheme::textGold(), 0.9)},
                                                  {14, false, AppTheme::withOpacity(AppTheme::textPrimary(), 0.85)}};
    QTextBlock block = p.rows()->document()->begin();
    for (const auto& [px, bold, color] : rows) {
        const QTextCharFormat f = block.begin().fragment().charFormat();
        EXPECT_EQ(std::tuple(f.font().pixelSize(), f.font().bold(), f.foreground().color()), std::tuple(px, bold, color));
        block = block.next();
    }
    EXPECT_EQ(block.text(), "");
    EXPECT_EQ(block.blockFormat().lineHeight(), 10);

    qunsetenv("TESSARY_REMOTE_BASE");
    d.remove("changelogCache");
    ChangelogPopupView inactive;
    EXPECT_EQ(rowText(inactive), "未配置更新服务器");
}

}
