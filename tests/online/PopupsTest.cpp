#include "OnlineFixture.h"

#include "online/AboutAuthorPopupView.h"
#include "online/PopupTexts.h"
#include "online/TutorialPopupView.h"
#include "platform/UrlOpener.h"
#include "ui/AppTheme.h"
#include "UserInput.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QScrollArea>
#include <QScrollBar>

namespace {

using Popups = OnlineFixture;
using Link = PopupTexts::Link;

TEST_F(Popups, LinkLines)
{
    const QString file = "a|https://a\n  b  |  http://b  | extra \n|http://x\nc|\nd|ftp://d\ne|HTTP://e\nnoline\n\n";
    const QList<Link> expected{{"a", "https://a"}, {"b", "http://b"}};
    EXPECT_EQ(PopupTexts::parseLinks(file), expected);
    EXPECT_EQ(PopupTexts::parseLinks(QString(file).replace("\n", "\r\n")), expected);
}

TEST_F(Popups, AboutParagraphsAndContactId)
{
    const std::tuple<const char*, QStringList, const char*> cases[] = {
        {"one\r\n\r\ntwo", {"one", "two"}, ""},      {"one\n\n\ntwo", {"one", "two"}, ""},
        {"one\n\n\n\ntwo\nnext", {"one", "two\nnext"}, ""}, {" \n\n ", {}, ""},
        {"微信：abc_12（备注）", {"微信：abc_12（备注）"}, "abc_12"}, {"微信: abc", {"微信: abc"}, "abc"},
        {"微信：abc-def", {"微信：abc-def"}, "abc"},  {"微信 ：abc\n\n微信号：x", {"微信 ：abc", "微信号：x"}, ""},
        {"微信：\nid7", {"微信：\nid7"}, "id7"},      {"微信:a1\n微信:b2", {"微信:a1\n微信:b2"}, "a1"},
        {"微信：\u3000wx_88", {"微信：\u3000wx_88"}, "wx_88"}, {"微信:\u00a0\u2003w9", {"微信:\u00a0\u2003w9"}, "w9"}};
    for (const auto& [text, paragraphs, id] : cases) {
        const PopupTexts::About about = PopupTexts::parseAbout(text);
        EXPECT_EQ(about.paragraphs, paragraphs) << text;
        EXPECT_EQ(about.contactId, id) << text;
    }
    EXPECT_EQ(PopupTexts::parseAbout(AboutAuthorPopupView::builtInParagraphs().join("\n\n")).contactId,
              AboutAuthorPopupView::builtInContactId());
}

TEST_F(Popups, TutorialKeepsBuiltInsWithoutValidLinksAndOpensOnlyWebAddresses)
{
    stub.route("/social.txt", 200, "bad line\n");
    stub.route("/tutorial.txt", 200, "入门|https://t.example/1\n坏|httpx:evil\n");
    QList<QUrl> opened;
    UrlOpener::Handler old = UrlOpener::setHandler([&](const QUrl& u) { opened.append(u); });
    TutorialPopupView popup;
    popup.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup.tutorialLinks().size() == 2; }, 3000));
    EXPECT_EQ(popup.socialLinks(), TutorialPopupView::builtInSocialLinks());
    QTest::qWait(20);
    for (QAbstractButton* b : popup.findChildren<QAbstractButton*>("tutorialLink"))
        UserInput::click(b);
    UrlOpener::setHandler(old);
    EXPECT_EQ(opened, QList<QUrl>{QUrl("https://t.example/1")});

    qunsetenv("TESSARY_REMOTE_BASE");
    TutorialPopupView offline;
    EXPECT_EQ(offline.socialLinks(), TutorialPopupView::builtInSocialLinks());
    EXPECT_NE(offline.findChild<QWidget*>("tutorialPlaceholder"), nullptr);
}

TEST_F(Popups, AboutTextGrowsToItsContentUpToFiveHundred)
{
    const std::pair<QByteArray, bool> cases[] = {{"", false}, {"一行", false}, {QByteArray("很长的一行\n").repeated(60), true}};
    for (const auto& [remote, scrolls] : cases) {
        stub.route("/about.txt", remote.isEmpty() ? 404 : 200, remote);
        const int before = stub.count("/about.txt");
        AboutAuthorPopupView popup;
        popup.show();
        ASSERT_TRUE(stub.waitForCount("/about.txt", before + 1, 3000));
        QTest::qWait(50);
        auto* area = popup.findChild<QScrollArea*>("aboutText");
        SCOPED_TRACE(remote.left(20).toStdString());
        EXPECT_EQ(area->verticalScrollBar()->maximum() > 0, scrolls);
        const QPoint ground = area->geometry().topLeft() + QPoint(1, 1); // above the first line
        EXPECT_EQ(popup.grab().toImage().pixelColor(ground), AppTheme::background()) << "the text lies on the popup's ground";
        if (scrolls)
            EXPECT_EQ(area->height(), 500);
        else
            EXPECT_GE(area->viewport()->height(), area->widget()->heightForWidth(area->viewport()->width()));
    }
}

TEST_F(Popups, AboutTakesTheRemoteTextAndTheToastHidesAfterTheFirstPress)
{
    stub.route("/about.txt", 200, "第一段\r\n\r\n微信：new_id");
    AboutAuthorPopupView popup;
    popup.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup.contactId() == "new_id"; }, 3000));
    EXPECT_EQ(popup.paragraphs(), QStringList({"第一段", "微信：new_id"}));
    popup.copyContactId();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "new_id");
    QTest::qWait(AboutAuthorPopupView::kToastMs / 2);
    popup.copyContactId();
    EXPECT_TRUE(popup.isToastShown());
    QTest::qWait(AboutAuthorPopupView::kToastMs / 2 + 200);
    EXPECT_FALSE(popup.isToastShown());
}

}
