#include "app/ContentView.h"
#include "app/MenuSelection.h"
#include "app/PendingScreenView.h"
#include "online/FeedbackManager.h"
#include "online/StatsReporter.h"
#include "online/UpdateChecker.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "tools/BatchToolsView.h"
#include "tools/ComingSoonView.h"
#include "tools/DropZoneView.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTimer>

namespace {
QString selectedTitle(const ContentView& v)
{
    return v.selectedMenu() ? v.selectedMenu()->title : QStringLiteral("<none>");
}

QStringList titles(const QList<MenuItem>& items)
{
    QStringList out;
    for (const MenuItem& i : items)
        out << i.title;
    return out;
}

// Records every post of the names it is given, in order.
struct Recorder : QObject {
    QList<QPair<QString, QVariant>> posts;
    explicit Recorder(const QStringList& names)
    {
        for (const QString& n : names)
            NotificationCenter::defaultCenter().addObserver(this, n, [this, n](const QVariant& o) {
                posts.append({n, o});
            });
    }
    QStringList names() const
    {
        QStringList out;
        for (const auto& p : posts)
            out << p.first;
        return out;
    }
};

QStringList reportedEvents(const QSignalSpy& spy)
{
    QStringList out;
    for (const auto& args : spy)
        out << args.at(0).toString();
    return out;
}
}

TEST(ContentViewTest, LaunchPageTable)
{
    EXPECT_EQ(ContentView::launchPageTitle(std::nullopt), "自动导片");
    EXPECT_EQ(ContentView::launchPageTitle(QString("素材分离")), "自动分离");
    EXPECT_EQ(ContentView::launchPageTitle(QString("自动分离")), "自动分离");
    EXPECT_EQ(ContentView::launchPageTitle(QString("快速分片RAW")), "快速分片");
    EXPECT_EQ(ContentView::launchPageTitle(QString("自动删费片")), "自动删废片");
    EXPECT_EQ(ContentView::launchPageTitle(QString("档期收入")), "档期收入");
    EXPECT_EQ(ContentView::launchPageTitle(QString("在线选片")), "在线选片");
    EXPECT_EQ(ContentView::launchPageTitle(QString("软件更新")), "自动导片");
    EXPECT_EQ(ContentView::launchPageTitle(QString("FTP传输 ")), "自动导片");
}

TEST(ContentViewTest, AbsentLaunchPageStartsWithTheImportScreen)
{
    ContentView v;
    EXPECT_EQ(selectedTitle(v), "自动导片");
    EXPECT_EQ(v.menuItems().size(), 10);
}

TEST(ContentViewTest, StoredLaunchPageIsSelected)
{
    UserDefaults::standard().set("defaultLaunchPage", "快速分片RAW");
    ContentView v;
    EXPECT_EQ(selectedTitle(v), "快速分片");
}

TEST(ContentViewTest, HiddenFeaturesRemoveOnlyNonCoreEntries)
{
    const QList<MenuItem> kept =
        ContentView::visibleMenuItems(ContentView::fullMenu(), {"FTP传输", "作品展示", "nothing"});
    EXPECT_EQ(titles(kept), QStringList({"自动导片", "自动分离", "快速分片", "FTP传输", "档期收入", "照片设计",
                                         "批量小工具", "自动删废片", "在线选片"}));
}

TEST(ContentViewTest, HiddenLaunchPageStartsWithNoSelectionOnTheDropZone)
{
    UserDefaults::standard().set("remote_hidden_features", QVariantList{"FTP传输", "作品展示"});
    UserDefaults::standard().set("defaultLaunchPage", "作品展示");
    ContentView v;
    EXPECT_FALSE(v.selectedMenu());
    auto* page = qobject_cast<DropZoneView*>(v.currentScreen());
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(page->currentMenu());
    EXPECT_FALSE(titles(v.menuItems()).contains("作品展示"));
    EXPECT_TRUE(titles(v.menuItems()).contains("FTP传输"));
}

TEST(ContentViewTest, MenuEntriesCarryTheirFlags)
{
    const QList<MenuItem> menu = ContentView::fullMenu();
    for (int i = 0; i < menu.size(); ++i) {
        EXPECT_EQ(menu[i].hasSubmenu, i < 3) << i;
        EXPECT_EQ(menu[i].isComingSoon, i >= 5) << i;
    }
    EXPECT_EQ(menu[4].subtitle, "记录拍摄档期和客单收入\n自动统计每月营收情况");
    // Entries are made with fresh ids each time.
    EXPECT_NE(ContentView::fullMenu()[0], menu[0]);
    ContentView v;
    EXPECT_EQ(v.softwareUpdateItem().title, "软件更新");
    EXPECT_EQ(v.softwareUpdateItem().icon, "arrow.down.circle");
}

TEST(ContentViewTest, ScreensFollowTheSelection)
{
    ContentView v;
    auto select = [&](const QString& title) {
        NotificationCenter::defaultCenter().post("NavigateToMenu", title);
        return v.currentScreen();
    };
    EXPECT_TRUE(qobject_cast<BatchToolsView*>(select("批量小工具")));
    auto* coming = qobject_cast<ComingSoonView*>(select("在线选片"));
    ASSERT_TRUE(coming);
    EXPECT_EQ(coming->currentMenu()->title, "在线选片");
    EXPECT_TRUE(qobject_cast<ComingSoonView*>(select("作品展示")));
    auto* drop = qobject_cast<DropZoneView*>(select("照片设计"));
    ASSERT_TRUE(drop);
    EXPECT_EQ(drop->currentMenu()->title, "照片设计");
    EXPECT_TRUE(qobject_cast<DropZoneView*>(select("自动删废片")));
    auto* pending = qobject_cast<PendingScreenView*>(select("档期收入"));
    ASSERT_TRUE(pending);
    EXPECT_EQ(pending->screenClass(), "ScheduleIncomeView");
}

TEST(ContentViewTest, SelectionChangesPostDismissSearchFocusAndReportUsage)
{
    ContentView v;
    Recorder rec({"DismissSearchFocus"});
    QSignalSpy events(&StatsReporter::shared(), &StatsReporter::eventQueued);
    const QStringList order{"自动分离", "快速分片", "FTP传输", "档期收入", "照片设计", "自动导片"};
    for (const QString& t : order)
        NotificationCenter::defaultCenter().post("NavigateToMenu", t);
    EXPECT_EQ(rec.posts.size(), order.size());
    EXPECT_EQ(reportedEvents(events),
              QStringList({"split_raw", "quick_filter", "ftp_page", "schedule", "auto_import"}));

    // The same entry again is no change.
    NotificationCenter::defaultCenter().post("NavigateToMenu", QString("自动导片"));
    EXPECT_EQ(rec.posts.size(), order.size());

    // A change to no selection dismisses focus but reports nothing.
    events.clear();
    NotificationCenter::defaultCenter().post("NavigateToMenu", QString("软件更新"));
    EXPECT_FALSE(v.selectedMenu());
    EXPECT_EQ(rec.posts.size(), order.size() + 1);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_TRUE(qobject_cast<DropZoneView*>(v.currentScreen()));
}

TEST(ContentViewTest, NavigateToMenuIgnoresObjectsThatAreNotText)
{
    ContentView v;
    Recorder rec({"DismissSearchFocus"});
    NotificationCenter::defaultCenter().post("NavigateToMenu", 5);
    NotificationCenter::defaultCenter().post("NavigateToMenu", QVariant());
    EXPECT_EQ(selectedTitle(v), "自动导片");
    EXPECT_TRUE(rec.posts.isEmpty());
}

TEST(ContentViewTest, ScheduleNavigationSelectsTheScheduleThenForwardsTheObject)
{
    ContentView v;
    Recorder rec({"DismissSearchFocus", "ScheduleViewModeChanged", "ScheduleSearchOrder"});
    // The schedule screen must exist when the follow-up arrives.
    QWidget* screenAtFollowUp = nullptr;
    NotificationCenter::defaultCenter().addObserver(&rec, "ScheduleViewModeChanged",
                                                    [&](const QVariant&) { screenAtFollowUp = v.currentScreen(); });

    NotificationCenter::defaultCenter().post("NavigateToScheduleView", false);
    EXPECT_EQ(selectedTitle(v), "档期收入");
    EXPECT_EQ(rec.names(), QStringList({"DismissSearchFocus", "ScheduleViewModeChanged"}));
    EXPECT_EQ(rec.posts.last().second.typeId(), QMetaType::Bool);
    EXPECT_FALSE(rec.posts.last().second.toBool());
    auto* pending = qobject_cast<PendingScreenView*>(screenAtFollowUp);
    ASSERT_TRUE(pending);
    EXPECT_EQ(pending->screenClass(), "ScheduleIncomeView");

    rec.posts.clear();
    NotificationCenter::defaultCenter().post("SearchOrderInSchedule", QString("张三"));
    EXPECT_EQ(rec.names(), QStringList({"ScheduleSearchOrder"}));
    EXPECT_EQ(rec.posts.last().second.toString(), "张三");
}

TEST(ContentViewTest, ScheduleNavigationWithWrongObjectsOnlySelects)
{
    ContentView v;
    Recorder rec({"ScheduleViewModeChanged", "ScheduleSearchOrder"});
    NotificationCenter::defaultCenter().post("SearchOrderInSchedule", 42);
    EXPECT_EQ(selectedTitle(v), "档期收入");
    NotificationCenter::defaultCenter().post("NavigateToMenu", QString("自动导片"));
    NotificationCenter::defaultCenter().post("NavigateToScheduleView", QString("true"));
    EXPECT_EQ(selectedTitle(v), "档期收入");
    NotificationCenter::defaultCenter().post("NavigateToScheduleView", QVariant());
    EXPECT_TRUE(rec.posts.isEmpty());
}

TEST(ContentViewTest, SoftwareUpdateBackActionReturnsToTheRememberedEntry)
{
    ContentView v;
    QSignalSpy events(&StatsReporter::shared(), &StatsReporter::eventQueued);
    NotificationCenter::defaultCenter().post("NavigateToMenu", QString("FTP传输"));
    v.selection()->setLastBeforeUpdate(v.selectedMenu());
    v.setSelectedMenu(v.softwareUpdateItem());
    auto* pending = qobject_cast<PendingScreenView*>(v.currentScreen());
    ASSERT_TRUE(pending);
    EXPECT_EQ(pending->screenClass(), "SoftwareUpdateView");
    EXPECT_EQ(reportedEvents(events).last(), "check_update");
    v.returnFromSoftwareUpdate();
    EXPECT_EQ(selectedTitle(v), "FTP传输");

    v.selection()->setLastBeforeUpdate(std::nullopt);
    v.setSelectedMenu(v.softwareUpdateItem());
    v.returnFromSoftwareUpdate();
    EXPECT_EQ(selectedTitle(v), "自动导片");
}

TEST(ContentViewTest, OnePollTimerAfterRepeatedShowAndHide)
{
    UserDefaults::standard().set("autoCheckUpdate", false);
    ContentView v;
    for (int i = 0; i < 4; ++i) {
        v.show();
        v.hide();
    }
    v.show();
    int pollTimers = 0;
    for (QTimer* t : v.findChildren<QTimer*>())
        pollTimers += t->interval() == ContentView::kFeedbackPollMs ? 1 : 0;
    EXPECT_EQ(pollTimers, 1);
    EXPECT_TRUE(v.feedbackPollTimer()->isActive());
    EXPECT_TRUE(v.autoCheckTimer()->isActive());
    QSignalSpy polls(&FeedbackManager::shared(), &FeedbackManager::replyCheckStarted);
    QMetaObject::invokeMethod(v.feedbackPollTimer(), "timeout");
    EXPECT_EQ(polls.size(), 1);
    v.hide();
    EXPECT_FALSE(v.feedbackPollTimer()->isActive());
}

TEST(ContentViewTest, AppearanceSeedsTheUpdateHintAndChecksWhenAllowed)
{
    ContentView v;
    QSignalSpy checks(v.updateChecker(), &UpdateChecker::checkStarted);
    v.show();
    EXPECT_EQ(UserDefaults::standard().string("seenUpdateHint").value_or("<none>"), "V3.5");
    EXPECT_EQ(checks.size(), 1);

    // A stored hint is kept; a found update empties it.
    UserDefaults::standard().set("seenUpdateHint", "V3.4");
    UserDefaults::standard().set("autoCheckUpdate", false);
    v.hide();
    v.show();
    EXPECT_EQ(UserDefaults::standard().string("seenUpdateHint").value_or("<none>"), "V3.4");
    EXPECT_EQ(checks.size(), 1);
    v.updateChecker()->publishResult(UpdateResult::isLatest());
    EXPECT_EQ(UserDefaults::standard().string("seenUpdateHint").value_or("<none>"), "V3.4");
    v.updateChecker()->publishResult(UpdateResult::hasUpdate("3.6", "log", "https://example.invalid"));
    EXPECT_EQ(UserDefaults::standard().string("seenUpdateHint").value_or("<none>"), "");

    // The hourly tick checks only while automatic checking is on.
    QMetaObject::invokeMethod(v.autoCheckTimer(), "timeout");
    EXPECT_EQ(checks.size(), 1);
    UserDefaults::standard().set("autoCheckUpdate", true);
    QMetaObject::invokeMethod(v.autoCheckTimer(), "timeout");
    EXPECT_EQ(checks.size(), 2);
}
