#include "app/ContentView.h"
#include "app/MainWindow.h"
#include "app/MenuItemView.h"
#include "app/MenuSelection.h"
#include "app/SidebarView.h"
#include "app/UpdateNotice.h"
#include "app/VersionBarView.h"
#include "app/VersionLinkButton.h"
#include "UpdateStub.h"
#include "UserInput.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "settings/AppIconManager.h"
#include "ui/AppTheme.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

namespace {
QString selectedTitle(const ContentView& v) { return v.selectedMenu() ? v.selectedMenu()->title : "<none>"; }

// The main content at its default size, on screen.
struct Shown : ContentView
{
    Shown()
    {
        resize(1100, 700);
        show();
    }
};

QStringList selectedRows(const SidebarView& s)
{
    QStringList out;
    for (MenuItemView* r : s.rows())
        if (r->isSelected())
            out << r->item().title;
    return out;
}
}

TEST(SidebarTest, RowsFollowTheMenuAndHiddenEntriesAreLeftOut)
{
    UserDefaults::standard().set("remote_hidden_features", QVariantList{"批量小工具", "FTP传输"});
    ContentView v;
    QStringList shown;
    for (MenuItemView* r : v.sidebar()->rows())
        shown << r->item().title;
    EXPECT_EQ(shown, QStringList({"自动导片", "自动分离", "快速分片", "FTP传输", "档期收入", "照片设计", "自动删废片",
                                  "作品展示", "在线选片"}));
    EXPECT_EQ(v.sidebar()->width(), SidebarView::kWidth);
}

TEST(SidebarTest, ClickingARowSelectsItsScreenAndRowsAreMarkedByTitle)
{
    Shown v;
    UserInput::click(v.sidebar()->rowForTitle("档期收入"));
    EXPECT_EQ(selectedTitle(v), "档期收入");
    EXPECT_EQ(selectedRows(*v.sidebar()), QStringList({"档期收入"}));
    EXPECT_TRUE(v.sidebar()->rowForTitle("档期收入")->showsSubtitle());
    EXPECT_FALSE(v.sidebar()->rowForTitle("自动导片")->showsSubtitle());

    v.setSelectedMenu(MenuItem::make("快速分片", "x", false, false, "")); // another id, same title
    EXPECT_EQ(selectedRows(*v.sidebar()), QStringList({"快速分片"}));
    v.setSelectedMenu(v.softwareUpdateItem());
    EXPECT_TRUE(selectedRows(*v.sidebar()).isEmpty());
}

TEST(SidebarTest, ASubtitleWithALineBreakShowsOnTwoLines)
{
    MenuItemView broken(MenuItem::make("档期收入", "calendar", false, false, "甲\n乙"));
    MenuItemView single(MenuItem::make("档期收入", "calendar", false, false, "甲乙"));
    broken.setSelected(true);
    single.setSelected(true);
    EXPECT_GT(broken.heightForWidth(196), single.heightForWidth(196));
    broken.resize(196, broken.heightForWidth(196));
    EXPECT_FALSE(broken.grab().isNull());
}

TEST(SidebarTest, DisabledFtpRowIsDimmedAndIgnoresClicks)
{
    UserDefaults::standard().set("ftpFeatureEnabled", false);
    Shown v;
    MenuItemView* ftp = v.sidebar()->rowForTitle("FTP传输");
    EXPECT_FALSE(ftp->isEnabled());
    EXPECT_EQ(ftp->iconColor(), AppTheme::withOpacity(AppTheme::textPrimary(), 0.25));
    // Through the window at the row, as a user clicks it: nothing else is there.
    QWidget* hit = UserInput::widgetUnder(ftp);
    ASSERT_TRUE(hit == ftp || ftp->isAncestorOf(hit));
    QTest::mouseClick(v.windowHandle(), Qt::LeftButton, {}, ftp->mapTo(&v, ftp->rect().center()));
    EXPECT_EQ(selectedTitle(v), "自动导片");
    for (MenuItemView* r : v.sidebar()->rows())
        if (r != ftp)
            EXPECT_TRUE(r->isEnabled()) << r->item().title.toStdString();
    // The flag is read live.
    UserDefaults::standard().set("ftpFeatureEnabled", true);
    EXPECT_TRUE(ftp->isEnabled());
    EXPECT_EQ(ftp->iconColor(), AppTheme::menuTextNormal());
}

TEST(SidebarTest, SelectedRowsUseTheColourOnGold)
{
    for (AppThemeStyle style : AppThemeStyles::allCases()) {
        ThemeObserver::shared().setStyle(style);
        ContentView v;
        MenuItemView* row = v.sidebar()->rowForTitle("自动导片");
        EXPECT_EQ(row->iconColor(), AppTheme::isDark() ? QColor(Qt::black) : QColor(Qt::white));
        EXPECT_EQ(row->backgroundColor(), AppTheme::menuSelectedBackground());
        EXPECT_EQ(v.sidebar()->rowForTitle("自动分离")->backgroundColor(), AppTheme::cardBackground());
    }
}

TEST(SidebarTest, UpdateDotRules)
{
    // Only a found update the user has not yet seen in this version.
    const auto has = UpdateResult::hasUpdate("3.6", "", "");
    EXPECT_TRUE(UpdateNotice::showUpdateDot(has, ""));
    EXPECT_TRUE(UpdateNotice::showUpdateDot(has, "V3.4"));
    EXPECT_FALSE(UpdateNotice::showUpdateDot(has, "V3.5"));
    EXPECT_FALSE(UpdateNotice::showUpdateDot(std::nullopt, ""));
    EXPECT_FALSE(UpdateNotice::showUpdateDot(UpdateResult::failed("x"), ""));
    EXPECT_FALSE(UpdateNotice::showUpdateDot(UpdateResult::isLatest(), ""));
}

TEST(SidebarTest, UpdateButtonOpensTheUpdateScreenAndRemembersTheSelection)
{
    Shown v;
    VersionBarView* bar = v.sidebar()->versionBar();
    checkAgainst(v.updateChecker(), "3.6\nu\n");
    EXPECT_TRUE(bar->updateButton()->showsDot());
    EXPECT_FALSE(bar->newVersionNote()->isHidden());

    NotificationCenter::defaultCenter().post("NavigateToMenu", QString("自动分离"));
    UserInput::click(bar->updateButton());
    EXPECT_EQ(UserDefaults::standard().string("seenUpdateHint").value_or(""), "V3.5");
    EXPECT_FALSE(bar->updateButton()->showsDot());
    EXPECT_TRUE(bar->newVersionNote()->isHidden());
    EXPECT_EQ(selectedTitle(v), "软件更新");
    EXPECT_EQ(v.selection()->lastBeforeUpdate()->title, "自动分离");

    // Clicking again on the update screen remembers the update entry itself.
    UserInput::click(bar->updateButton());
    EXPECT_EQ(v.selection()->lastBeforeUpdate()->title, "软件更新");
    v.returnFromSoftwareUpdate();
    EXPECT_EQ(selectedTitle(v), "软件更新");
}

TEST(SidebarTest, FeedbackButtonClearsTheReplyDotAndOpensTheSheet)
{
    UserDefaults::standard().set("hasNewReply", true);
    Shown v;
    VersionBarView* bar = v.sidebar()->versionBar();
    EXPECT_TRUE(bar->feedbackButton()->showsDot());
    UserInput::click(bar->feedbackButton());
    EXPECT_FALSE(UserDefaults::standard().boolean("hasNewReply"));
    EXPECT_FALSE(bar->feedbackButton()->showsDot());
    ASSERT_TRUE(bar->isFeedbackShown());
    EXPECT_EQ(bar->feedbackSheet()->size(), QSize(520, 600));
    bar->feedbackSheet()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(bar->isFeedbackShown());
}

// Replies merged into the open chat are read there; one after it closes
// raises the dot again.
TEST(SidebarTest, TheReplyDotStaysAwayWhileTheChatIsOpen)
{
    UserDefaults::standard().set("hasNewReply", true);
    Shown v;
    VersionBarView* bar = v.sidebar()->versionBar();
    UserInput::click(bar->feedbackButton());
    ASSERT_TRUE(bar->isFeedbackShown());
    UserDefaults::standard().set("hasNewReply", true);
    EXPECT_FALSE(UserDefaults::standard().boolean("hasNewReply"));
    EXPECT_FALSE(bar->feedbackButton()->showsDot());

    bar->feedbackSheet()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(bar->isFeedbackShown());
    EXPECT_FALSE(bar->feedbackButton()->showsDot());
    UserDefaults::standard().set("hasNewReply", true);
    EXPECT_TRUE(bar->feedbackButton()->showsDot());
}

TEST(SidebarTest, VersionLinksChangeOnlyTheirLookOnHoverAndShowTheDotOverTheCorner)
{
    ThemeObserver::shared().setStyle(AppThemeStyle::dark);
    VersionLinkButton b("检查更新");
    b.show();
    const QColor idle = b.textColor();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&b, &enter);
    EXPECT_TRUE(b.isHovered());
    QTest::qWait(250);
    EXPECT_EQ(b.textColor(), AppTheme::withOpacity(AppTheme::textGold(), 0.95));
    EXPECT_NE(b.textColor(), idle);
    EXPECT_FALSE(UserDefaults::standard().hasStoredValue("seenUpdateHint"));

    // The red dot overhangs the caption's corner by 4 and 1, inside the widget.
    b.setShowDot(true);
    b.resize(b.sizeHint());
    const QRectF face = b.faceRect();
    const QRectF dot = b.dotRect();
    EXPECT_EQ(dot.size(), QSizeF(7, 7));
    EXPECT_DOUBLE_EQ(dot.right(), face.right() + 4);
    EXPECT_DOUBLE_EQ(dot.top(), face.top() - 1);
    EXPECT_TRUE(QRectF(b.rect()).contains(dot)) << b.width() << "x" << b.height();
}

TEST(SidebarTest, TheDrawnGoldIconRunsFromItsTopToItsBottomColour)
{
    const QImage gold = AppIconManager::makeImage(AppIconStyle::cameraGold, 100);
    const QColor top = gold.pixelColor(50, 1), bottom = gold.pixelColor(50, 98);
    EXPECT_NEAR(top.red(), 245, 3);
    EXPECT_NEAR(top.green(), 204, 3);
    EXPECT_NEAR(bottom.green(), 163, 3);
    // The camera outline is drawn in white across the body's top edge.
    EXPECT_GT(gold.pixelColor(50, 26).blue(), 200);
}

TEST(SidebarTest, RowsScrollInAShortWindowAndStartAtTheTopAgainWhenMaximised)
{
    MainWindow w;
    w.resize(w.minimumSize());
    w.show();
    auto* rows = w.findChild<QScrollArea*>("sidebarRows");
    ASSERT_TRUE(rows);
    QTRY_VERIFY(rows->verticalScrollBar()->maximum() > 0);
    rows->verticalScrollBar()->setValue(rows->verticalScrollBar()->maximum());
    // Scrolled to the end, the last row is clear of the version bar.
    UserInput::click(w.contentView()->sidebar()->rowForTitle("在线选片"));
    EXPECT_EQ(selectedTitle(*w.contentView()), "在线选片");
    w.showMaximized();
    w.resize(1100, 1000);
    QTRY_COMPARE(rows->widget()->y(), 0);
    EXPECT_EQ(rows->verticalScrollBar()->value(), 0);
}
