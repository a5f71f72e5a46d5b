// Runs on a small screen (see CMakeLists.txt): the main window is taller than
// the screen's free area, as on a 720p panel at 125 % under a top bar.
#include "../online/OnlineFixture.h"
#include "app/ContentView.h"
#include "app/TopBarView.h"
#include "online/ChangelogPopupView.h"
#include "UserInput.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>

#include <functional>

namespace {

using RemotePopups = OnlineFixture;

QByteArray lines(const QString& pattern, int count)
{
    QString out;
    for (int i = 1; i <= count; ++i)
        out += pattern.arg(i) + "\n";
    return out.toUtf8();
}

QString shownText(const QWidget* row)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(row))
        return button->text();
    return qobject_cast<const QLabel*>(row)->text();
}

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QApplication::processEvents();
    }
}

struct LongRow {
    const char* objectName;
    QString text;
};

struct PopupCase {
    const char* name;
    std::function<void(ContentView&)> open;
    std::function<bool(QWidget*)> loaded;
    const char* scrolledArea;
    const char* closeText;
    QList<LongRow> longRows;
};

// Opens the popup over a fresh main window as `c` says, and checks it; an
// assertion ends this popup's checks only.
void checkPopup(const PopupCase& c)
{
    ContentView window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    c.open(window);
    QPointer<QWidget> popup = UserInput::shownWindow(c.name);
    ASSERT_TRUE(popup);
    ASSERT_TRUE(QTest::qWaitFor([&] { return c.loaded(popup); }, 5000));
    settle();

    const QWidget* parent = popup->parentWidget()->window();
    const QRect room = popup->screen()->availableGeometry() & parent->frameGeometry();
    EXPECT_TRUE(room.contains(popup->frameGeometry()))
        << "popup at " << popup->frameGeometry().x() << "," << popup->frameGeometry().y() << " "
        << popup->frameGeometry().width() << "x" << popup->frameGeometry().height() << ", room "
        << room.width() << "x" << room.height();

    auto* area = popup->findChild<QAbstractScrollArea*>(c.scrolledArea);
    if (area) {
        QScrollBar* bar = area->verticalScrollBar();
        EXPECT_GT(bar->maximum(), 0) << "the text scrolls";
        UserInput::wheel(area->viewport(), -3);
        EXPECT_GT(bar->value(), 0) << "a turn of the wheel scrolls it";
    } else {
        ADD_FAILURE() << "no scrolling " << c.scrolledArea;
    }
    QWidget* view = area ? area->viewport() : popup.data();

    for (const LongRow& row : c.longRows) {
        SCOPED_TRACE(row.objectName);
        QWidget* found = nullptr;
        for (QWidget* w : popup->findChildren<QWidget*>(row.objectName))
            if (w->toolTip() == row.text)
                found = w;
        if (!found) {
            ADD_FAILURE() << "no row has the whole line in its tooltip";
            continue;
        }
        EXPECT_TRUE(shownText(found).contains(QChar(0x2026))) << shownText(found).toStdString();
        const QRect inView(found->mapTo(view, QPoint()), found->size());
        EXPECT_GE(inView.left(), 0);
        EXPECT_LE(inView.right(), view->width()) << "the row runs off the edge";
    }

    QAbstractButton* close = nullptr;
    for (QAbstractButton* b : popup->findChildren<QAbstractButton*>())
        if (b->text() == c.closeText)
            close = b;
    ASSERT_TRUE(close);
    const QRect closeRect(close->mapTo(popup, QPoint()), close->size());
    EXPECT_TRUE(popup->rect().contains(closeRect));
    EXPECT_TRUE(room.contains(QRect(close->mapToGlobal(QPoint()), close->size())));
    UserInput::click(close);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !popup || !popup->isVisible(); }, 2000));
}

// Each popup over the main window, opened as a user opens it, with far more
// server text than it has room for: it stays on screen and inside its
// parent window, "关闭" (or "完成") stays in sight and closes it, the text
// scrolls, and a line too long for its row is cut with the whole line in
// the row's tooltip.
TEST_F(RemotePopups, StayInTheirRoomWithTheCloseButtonInSightAndLongLinesCut)
{
    const QString longTitle = QString("很长的教程标题").repeated(22).left(150);
    const QString longSocial = QString("社交账号").repeated(40).left(150);
    const QString longParagraph = "链接：https://example.com/" + QString("a").repeated(130);
    stub.route("/tutorial.txt", 200, lines("教程第%1课|https://t.example/%1", 59) + longTitle.toUtf8() + "|https://t.example/long\n");
    stub.route("/social.txt", 200, longSocial.toUtf8() + "|https://s.example/long\n" + lines("主页%1|https://s.example/%1", 20));
    stub.route("/about.txt", 200, lines("第%1段：做这款工具，是想把摄影师每天重复又繁琐的活交给电脑。\n", 40) + longParagraph.toUtf8());
    stub.route("/version.txt", 200, "V9.9\nhttps://d.example/\n" + lines("V9.%1\n【新增】\n更长的一行说明，写满整整一行还要再多一些字才换行", 100));

    auto click = [](ContentView& c, const char* name) { UserInput::click(c.findChild<QWidget*>(name)); };
    const PopupCase cases[] = {
        {"tutorialSheet", [&](ContentView& c) { click(c, "tutorialButton"); },
         [](QWidget* p) { return p->findChildren<QWidget*>("tutorialLink").size() == 60
                                 && p->findChildren<QWidget*>("socialLink").size() == 21; },
         "tutorialLinks", "关闭", {{"tutorialLink", longTitle}, {"socialLink", longSocial}}},
        {"aboutAuthorSheet",
         [&](ContentView& c) {
             click(c, "settingsButton");
             if (QWidget* sheet = UserInput::shownWindow("settingsSheet"))
                 UserInput::clickInView(sheet->findChild<QWidget*>("authorSignature"));
         },
         [](QWidget* p) { return p->findChildren<QWidget*>("paragraph").size() == 41; }, "aboutText", "关闭",
         {{"paragraph", longParagraph}}},
        {"changelogPopup",
         [](ContentView& c) {
             QWidget* field = c.findChild<TopBarView*>()->searchField();
             UserInput::type(field, "更新日志");
             UserInput::key(field, Qt::Key_Down);
             UserInput::key(field, Qt::Key_Return);
         },
         [](QWidget* p) { return !qobject_cast<ChangelogPopupView*>(p)->isLoading(); }, "changelogRows", "完成", {}},
    };
    for (const PopupCase& c : cases) {
        SCOPED_TRACE(c.name);
        checkPopup(c);
    }
}

}
