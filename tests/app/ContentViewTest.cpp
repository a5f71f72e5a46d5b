#include "app/ContentView.h"
#include "app/MenuCatalog.h"
#include "app/MenuSelection.h"
#include "app/PendingScreenView.h"
#include "UsageUploads.h"
#include "UpdateStub.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "tools/ComingSoonView.h"
#include "tools/DropZoneView.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {
QString selectedTitle(const ContentView& v) { return v.selectedMenu() ? v.selectedMenu()->title : "<none>"; }

// The screen's class, a placeholder by the class it stands for, and the entry
// a generic page was made for.
QString screenOf(QWidget* w)
{
    if (auto* p = qobject_cast<PendingScreenView*>(w))
        return p->screenClass();
    std::optional<MenuItem> menu;
    if (auto* c = qobject_cast<ComingSoonView*>(w))
        menu = c->currentMenu();
    if (auto* d = qobject_cast<DropZoneView*>(w))
        menu = d->currentMenu();
    return QString(w->metaObject()->className()) + (menu ? ":" + menu->title : "");
}

void post(const QString& name, const QVariant& object = {}) { NotificationCenter::defaultCenter().post(name, object); }

QString hint() { return UserDefaults::standard().string("seenUpdateHint").value_or("<none>"); }

// Records every post of the names it is given, in order.
struct Recorder : QObject {
    QStringList names;
    QVariantList objects;
    explicit Recorder(const QStringList& watched)
    {
        for (const QString& n : watched)
            NotificationCenter::defaultCenter().addObserver(this, n, [this, n](const QVariant& o) {
                names << n;
                objects << o;
            });
    }
};

}

TEST(ContentViewTest, LaunchPageTable)
{
    // Old stored names map to today's entries; entries outside the menu fall back.
    const std::pair<std::optional<QString>, QString> rows[] = {
        {std::nullopt, "自动导片"}, {"素材分离", "自动分离"}, {"自动分离", "自动分离"},
        {"快速分片RAW", "快速分片"}, {"自动删费片", "自动删废片"}, {"档期收入", "档期收入"},
        {"在线选片", "在线选片"}, {"软件更新", "自动导片"}, {"FTP传输 ", "自动导片"}};
    const QList<MenuItem> menu = MenuCatalog::fullMenu();
    for (const auto& [stored, title] : rows) {
        const ScreenId screen = MenuCatalog::launchPage(stored);
        const auto item = std::find_if(menu.begin(), menu.end(), [&](const MenuItem& i) { return i.screen == screen; });
        ASSERT_NE(item, menu.end());
        EXPECT_EQ(item->title, title) << stored.value_or("<none>").toStdString();
    }
}

TEST(ContentViewTest, TheLaunchPageIsSelectedUnlessHidden)
{
    EXPECT_EQ(selectedTitle(ContentView()), "自动导片");
    UserDefaults::standard().set("defaultLaunchPage", "快速分片RAW");
    EXPECT_EQ(selectedTitle(ContentView()), "快速分片");

    // A hidden launch page starts with no selection, on the drop zone.
    UserDefaults::standard().set("remote_hidden_features", QVariantList{"FTP传输", "作品展示"});
    UserDefaults::standard().set("defaultLaunchPage", "作品展示");
    ContentView v;
    EXPECT_FALSE(v.selectedMenu());
    EXPECT_EQ(screenOf(v.currentScreen()), "DropZoneView");
}

TEST(ContentViewTest, MenuEntriesFlagsAndHiddenNonCoreEntries)
{
    const QList<MenuItem> menu = MenuCatalog::fullMenu();
    ASSERT_EQ(menu.size(), 10);
    for (int i = 0; i < menu.size(); ++i) {
        EXPECT_EQ(menu[i].hasSubmenu, i < 3) << i;
        EXPECT_EQ(menu[i].isComingSoon, i >= 5) << i;
    }
    EXPECT_EQ(menu[4].subtitle, "记录拍摄档期和客单收入\n自动统计每月营收情况");
    // Entries are made with fresh ids each time, and only the id tells copies apart.
    EXPECT_NE(MenuCatalog::fullMenu()[0], menu[0]);
    MenuItem copy = menu[0];
    EXPECT_EQ(copy, menu[0]);
    copy.id = QUuid::createUuid();
    EXPECT_NE(copy, menu[0]);

    QStringList kept;
    for (const MenuItem& i : MenuCatalog::visibleMenuItems(menu, {"FTP传输", "作品展示", "nothing"}))
        kept << i.title;
    EXPECT_EQ(kept, QStringList({"自动导片", "自动分离", "快速分片", "FTP传输", "档期收入", "照片设计", "批量小工具",
                                 "自动删废片", "在线选片"}));
}

TEST(ContentViewTest, EachEntryShowsItsScreenDismissesSearchFocusAndReportsUsage)
{
    ContentView v;
    Recorder rec({"DismissSearchFocus"});
    UsageUploads events;
    const struct { const char *title, *screen, *event; } rows[] = {
        {"自动分离", "SplitRawJpgView", "split_raw"}, {"快速分片", "QuickFilterView", "quick_filter"},
        {"FTP传输", "FtpTransferView", "ftp_page"}, {"档期收入", "ScheduleIncomeView", "schedule"},
        {"照片设计", "DropZoneView:照片设计", ""}, {"批量小工具", "BatchToolsView", ""},
        {"自动删废片", "DropZoneView:自动删废片", ""}, {"作品展示", "ComingSoonView:作品展示", ""},
        {"在线选片", "ComingSoonView:在线选片", ""}, {"自动导片", "AutoImportView", "auto_import"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.title);
        const qsizetype dismissed = rec.names.size();
        post("NavigateToMenu", QString(row.title));
        EXPECT_EQ(screenOf(v.currentScreen()), row.screen);
        EXPECT_EQ(rec.names.size(), dismissed + 1);
        EXPECT_EQ(events.take(*row.event ? 1 : 0), *row.event ? QStringList{row.event} : QStringList());
    }
    // The same entry again is no change.
    post("NavigateToMenu", QString("自动导片"));
    EXPECT_EQ(rec.names.size(), std::size(rows));

    // A change to no selection dismisses focus but reports nothing.
    post("NavigateToMenu", QString("软件更新"));
    EXPECT_FALSE(v.selectedMenu());
    EXPECT_EQ(rec.names.size(), std::size(rows) + 1);
    EXPECT_TRUE(events.take(0).isEmpty());
    EXPECT_EQ(screenOf(v.currentScreen()), "DropZoneView");
}

TEST(ContentViewTest, ScheduleNavigationSelectsTheScheduleThenForwardsTheObject)
{
    ContentView v;
    Recorder rec({"DismissSearchFocus", "ScheduleViewModeChanged", "ScheduleSearchOrder"});
    // The schedule screen must exist when the follow-up arrives.
    QString screenAtFollowUp;
    NotificationCenter::defaultCenter().addObserver(
        &rec, "ScheduleViewModeChanged", [&](const QVariant&) { screenAtFollowUp = screenOf(v.currentScreen()); });
    post("NavigateToScheduleView", false);
    EXPECT_EQ(selectedTitle(v), "档期收入");
    EXPECT_EQ(rec.names, QStringList({"DismissSearchFocus", "ScheduleViewModeChanged"}));
    EXPECT_EQ(rec.objects.last().typeId(), QMetaType::Bool);
    EXPECT_FALSE(rec.objects.last().toBool());
    EXPECT_EQ(screenAtFollowUp, "ScheduleIncomeView");

    rec.names.clear();
    post("SearchOrderInSchedule", QString("张三"));
    EXPECT_EQ(rec.names, QStringList({"ScheduleSearchOrder"}));
    EXPECT_EQ(rec.objects.last().toString(), "张三");
}

TEST(ContentViewTest, ObjectsOfTheWrongTypeAreIgnoredOrOnlySelect)
{
    ContentView v;
    Recorder rec({"DismissSearchFocus", "ScheduleViewModeChanged", "ScheduleSearchOrder"});
    post("NavigateToMenu", 5);
    post("NavigateToMenu");
    EXPECT_EQ(selectedTitle(v), "自动导片");
    EXPECT_TRUE(rec.names.isEmpty());

    post("SearchOrderInSchedule", 42);
    EXPECT_EQ(selectedTitle(v), "档期收入");
    post("NavigateToMenu", QString("自动导片"));
    post("NavigateToScheduleView", QString("true"));
    EXPECT_EQ(selectedTitle(v), "档期收入");
    post("NavigateToScheduleView");
    EXPECT_TRUE(rec.names.filter("Schedule").isEmpty()) << rec.names.join(",").toStdString();
}

TEST(ContentViewTest, SoftwareUpdateBackActionReturnsToTheRememberedEntry)
{
    ContentView v;
    UsageUploads events;
    post("NavigateToMenu", QString("FTP传输"));
    v.selection()->setLastBeforeUpdate(v.selectedMenu());
    v.setSelectedMenu(v.softwareUpdateItem());
    EXPECT_EQ(screenOf(v.currentScreen()), "SoftwareUpdateView");
    EXPECT_EQ(events.take(2).last(), "check_update");
    v.returnFromSoftwareUpdate();
    EXPECT_EQ(selectedTitle(v), "FTP传输");

    v.selection()->setLastBeforeUpdate(std::nullopt);
    v.setSelectedMenu(v.softwareUpdateItem());
    v.returnFromSoftwareUpdate();
    EXPECT_EQ(selectedTitle(v), "自动导片");
}

TEST(ContentViewTest, AppearanceSeedsTheUpdateHintStartsTimersOnceAndChecksWhenAllowed)
{
    HttpStub stub;
    stub.route("/version.txt", 200, "3.5\nu\n");
    ContentView v;
    auto checks = [&] {
        (void)QTest::qWaitFor([&] { return !v.updateChecker()->isChecking(); }, 5000);
        return stub.count("/version.txt");
    };
    v.show();
    // Written once the window has painted, not before its frame.
    EXPECT_EQ(hint(), "<none>");
    EXPECT_TRUE(QTest::qWaitFor([] { return hint() == "V3.5"; }, 5000));
    EXPECT_EQ(checks(), 1);

    // A stored hint is kept, and showing again makes no second poll timer.
    UserDefaults::standard().set("seenUpdateHint", "V3.4");
    UserDefaults::standard().set("autoCheckUpdate", false);
    for (int i = 0; i < 4; ++i) {
        v.hide();
        v.show();
    }
    EXPECT_EQ(hint(), "V3.4");
    EXPECT_EQ(checks(), 1);
    int pollTimers = 0;
    for (QTimer* t : v.findChildren<QTimer*>())
        pollTimers += t->interval() == ContentView::kFeedbackPollMs ? 1 : 0;
    EXPECT_EQ(pollTimers, 1);
    EXPECT_TRUE(v.feedbackPollTimer()->isActive());
    EXPECT_TRUE(v.autoCheckTimer()->isActive());
    qputenv("TESSARY_FEEDBACK_INBOX", stub.base().chopped(1).toUtf8());
    qputenv("TESSARY_FEEDBACK_TOKEN_1", "one");
    QMetaObject::invokeMethod(v.feedbackPollTimer(), "timeout");
    EXPECT_TRUE(stub.waitForCount("/token/one/requests?per_page=100", 1));
    qunsetenv("TESSARY_FEEDBACK_INBOX");
    qunsetenv("TESSARY_FEEDBACK_TOKEN_1");

    // The hourly tick checks only while automatic checking is on.
    QMetaObject::invokeMethod(v.autoCheckTimer(), "timeout");
    EXPECT_EQ(checks(), 1);
    UserDefaults::standard().set("autoCheckUpdate", true);
    QMetaObject::invokeMethod(v.autoCheckTimer(), "timeout");
    EXPECT_EQ(checks(), 2);

    // Only a found update empties the hint.
    EXPECT_EQ(hint(), "V3.4");
    stub.route("/version.txt", 200, "3.6\nu\n");
    v.updateChecker()->checkForUpdate();
    EXPECT_EQ(checks(), 3);
    EXPECT_EQ(hint(), "");
    v.hide();
    EXPECT_FALSE(v.feedbackPollTimer()->isActive());
}
