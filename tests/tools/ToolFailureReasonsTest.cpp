#include "AutoImportTestSupport.h"

#include "UserInput.h"
#include "tools/AutoImportIdleView.h"
#include "tools/AutoImportProgressView.h"
#include "tools/AutoImportView.h"
#include "tools/FolderDropZone.h"
#include "tools/QuickFilterController.h"
#include "tools/QuickFilterKeywordBox.h"
#include "tools/QuickFilterProgressView.h"
#include "tools/QuickFilterView.h"
#include "tools/SplitRawJpgController.h"
#include "tools/SplitRawJpgView.h"
#include "tools/ToolNotice.h"

#include <QPlainTextEdit>

namespace {

const QString kNoWrite = QStringLiteral("没有写入权限");
const QString kNoRead = QStringLiteral("没有读取权限");
QUrl url(const QString& path) { return QUrl::fromLocalFile(path); }

using ImportScreen = ToolScreen<AutoImportController, AutoImportView>;
using FilterScreen = ToolScreen<QuickFilterController, QuickFilterView>;
using SplitScreen = ToolScreen<SplitRawJpgController, SplitRawJpgView>;

} // namespace

// A run that cannot write or read somewhere says where and why on its
// panel, not "no such file" for every file.
TEST(ToolFailureReasons, ThePanelNamesTheFolderAndTheCause)
{
    struct Row
    {
        const char* name;
        // Prepares the folders, runs the tool and returns its panel's lines
        // and the line expected among them.
        std::function<QPair<QStringList, QString>()> run;
    };
    const Row rows[] = {
        {"import into a read-only destination",
         []() -> QPair<QStringList, QString> {
             ImportScreen s;
             s.card("a.JPG");
             s.card("b.MP4");
             QDir().mkpath(s.path("ro"));
             AutoImportController::setImportRootPath(s.path("ro"));
             OrdinaryUser user(s.root(), {{s.path("ro"), 0555}});
             EXPECT_TRUE(s.runToEnd([&] { s.controller.processFolder(s.card()); }));
             return {s.view->progressView()->resultLines(), s.path("ro/") + kBase + "/照片：无法创建文件夹，" + kNoWrite};
         }},
        {"import of a card with an unreadable folder",
         []() -> QPair<QStringList, QString> {
             ImportScreen s;
             s.card("DCIM/a.JPG");
             s.card("LOCKED/b.JPG");
             OrdinaryUser user(s.root(), {{s.card() + "/LOCKED", 0}});
             EXPECT_TRUE(s.runToEnd([&] { s.controller.processFolder(s.card()); }));
             EXPECT_EQ(s.controller.photoCount(), 1);
             return {s.view->progressView()->resultLines(), "LOCKED：无法读取文件夹，" + kNoRead};
         }},
        {"import of a card with an unreadable file",
         []() -> QPair<QStringList, QString> {
             ImportScreen s;
             s.card("DCIM/a.JPG");
             s.card("DCIM/b.JPG");
             OrdinaryUser user(s.root(), {{s.card() + "/DCIM/b.JPG", 0}});
             EXPECT_TRUE(s.runToEnd([&] { s.controller.processFolder(s.card()); }));
             EXPECT_EQ(s.controller.photoCount(), 1);
             EXPECT_TRUE(s.lines().contains("❌ [复制失败] b.JPG: " + kNoRead));
             return {s.view->progressView()->resultLines(), "b.JPG：" + kNoRead};
         }},
        {"split of a read-only folder",
         []() -> QPair<QStringList, QString> {
             SplitScreen s;
             s.card("shoot/a.NEF");
             s.card("shoot/b.JPG");
             OrdinaryUser user(s.root(), {{s.card() + "/shoot", 0555}});
             EXPECT_TRUE(s.runToEnd([&] { sendDrag(s.view->dropZone(), {url(s.card() + "/shoot")}, true); }));
             return {s.view->progressView()->resultLines(), s.card() + "/shoot/RAW：无法创建文件夹，" + kNoWrite};
         }},
        {"quick filter beside a read-only folder",
         []() -> QPair<QStringList, QString> {
             FilterScreen s;
             s.card("shoot/DSC_0001.ARW");
             OrdinaryUser user(s.root(), {{s.card(), 0555}});
             UserInput::type(s.view->keywordBox()->editor(), "DSC_0001");
             sendDrag(s.view->findChild<QWidget*>("folderZone"), {url(s.card() + "/shoot")}, true);
             EXPECT_TRUE(s.runToEnd([&] { UserInput::click(s.view->findChild<QWidget*>("startButton")); }));
             return {s.view->progressView()->resultLines(), s.card() + "/快速分片_3.7：无法创建文件夹，" + kNoWrite};
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto [lines, expected] = row.run();
        EXPECT_TRUE(lines.contains(expected)) << lines.join('\n').toStdString();
        EXPECT_TRUE(lines.filter("文件夹不存在").isEmpty());
        if (QString(row.name).contains("unreadable"))
            EXPECT_TRUE(lines.filter(kNoWrite).isEmpty()); // the card was not to be written
        AutoImportController::setImportRootPath(QString());
    }
}

// A drop or a click that starts nothing says why under the control.
static void refusedDropsAndStarts(const QString& theme)
{
    ImportFixture fx;
    fx.card("notes.txt");
    fx.card("shoot/DSC_0001.ARW");
    const QString fileRefusal = "“notes.txt”不是文件夹，请拖入文件夹";

    ImportScreen import;
    SplitScreen split;
    FilterScreen filter;
    struct Zone { const char* name; QWidget* zone; ToolNotice* notice; };
    const Zone zones[] = {
        {"import", import.view->idleView()->dropZone(), import.view->idleView()->notice()},
        {"split", split.view->dropZone(), split.view->notice()},
        {"quick filter folder", filter.view->findChild<QWidget*>("folderZone"),
         filter.view->findChild<ToolNotice*>("folderNotice")},
    };
    for (const Zone& z : zones) {
        ASSERT_TRUE(z.notice) << z.name;
        EXPECT_TRUE(z.notice->isHidden()) << z.name;
        sendDrag(z.zone, {url(fx.card() + "/notes.txt")}, true);
        EXPECT_TRUE(z.notice->isVisible()) << z.name;
        EXPECT_EQ(z.notice->text(), fileRefusal) << z.name;
        sendDrag(z.zone, {url(fx.path("gone"))}, true);
        EXPECT_EQ(z.notice->text(), "找不到拖入的项目，它可能已被移走") << z.name;
    }
    EXPECT_FALSE(import.view->isShowingProgress());
    EXPECT_FALSE(split.view->isShowingProgress());

    // "开始导出" names what the form lacks, in the order a user fills it.
    auto* start = filter.view->findChild<QWidget*>("startButton");
    auto* notice = filter.view->findChild<ToolNotice*>("startNotice");
    auto* editor = filter.view->keywordBox()->editor();
    struct Step { std::function<void()> act; QString notice; };
    const Step steps[] = {
        {[] {}, "请先输入文件名并拖入素材文件夹"},
        {[&] { UserInput::type(editor, ","); }, "请先拖入素材文件夹"},
        {[&] { sendDrag(filter.view->findChild<QWidget*>("folderZone"), {url(fx.card() + "/shoot")}, true); },
         "没有可用的文件名，请输入照片编号或文件名"},
    };
    for (const Step& step : steps) {
        step.act();
        UserInput::click(start);
        EXPECT_TRUE(notice->isVisible()) << step.notice.toStdString();
        EXPECT_EQ(notice->text(), step.notice);
        EXPECT_FALSE(filter.view->isShowingProgress());
    }
    filter.save("quickfilter-form-notice-" + theme, 50);

    // Typing a usable name clears the notice; the run then starts.
    UserInput::type(editor, "DSC_0001");
    EXPECT_TRUE(notice->isHidden());
    EXPECT_TRUE(waitForEnd(filter.controller, [&] { UserInput::click(start); }));
    EXPECT_EQ(filter.controller.matchCount(), 1);
}

TEST(ToolFailureReasons, RefusedDropsAndStartsSayWhyOnTheScreen)
{
    forEachTheme(refusedDropsAndStarts);
}
