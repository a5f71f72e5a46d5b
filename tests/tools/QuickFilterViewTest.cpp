#include "AutoImportTestSupport.h"

#include "tools/FolderDropZone.h"
#include "tools/QuickFilterController.h"
#include "tools/QuickFilterKeywordBox.h"
#include "tools/QuickFilterProgressView.h"
#include "tools/QuickFilterView.h"
#include "ui/ElidedLabel.h"

#include "UserInput.h"

#include <QLabel>
#include <QPlainTextEdit>

namespace {

struct FilterScreen : ToolScreen<QuickFilterController, QuickFilterView>
{
    FilterScreen()
        : ToolScreen({1000, 800})
    {
    }
    template <class T = QWidget> T* find(const char* name) { return view->findChild<T*>(name); }
    void click(const char* name) { UserInput::click(find(name)); }
    // Replaces the names in the box as a user does: select all, delete, type.
    void typeNames(const QString& names)
    {
        UserInput::click(view->keywordBox()->editor());
        UserInput::key(view, Qt::Key_A, Qt::ControlModifier);
        UserInput::key(view, Qt::Key_Delete);
        EXPECT_TRUE(view->keywordsText().isEmpty());
        UserInput::type(view->keywordBox()->editor(), names);
    }
    void dropSamples(const QList<QUrl>& urls)
    {
        QSignalSpy merged(view, &QuickFilterView::samplesChanged);
        sendDrag(find("sampleZone"), urls, true);
        ASSERT_TRUE(merged.wait(5000));
    }
};

QUrl url(const QString& path) { return QUrl::fromLocalFile(path); }

} // namespace

TEST(QuickFilterView, TheFormCollectsNamesFolderAndModeThenRunsAndComesBack)
{
    forEachTheme([](const QString& theme) {
        FilterScreen fx;
        QuickFilterKeywordBox* box = fx.view->keywordBox();
        EXPECT_TRUE(box->isPlaceholderShown());
        EXPECT_TRUE(fx.find("moveWarning")->isHidden());
        fx.save("quickfilter-form-" + theme);

        // Text without a folder only logs.
        UserInput::click(box, Qt::LeftButton, QPoint(20, 20));
        EXPECT_TRUE(box->editorFocused());
        EXPECT_FALSE(box->isPlaceholderShown());
        UserInput::type(box->editor(), "dsc_0001");
        box->editor()->insertPlainText("，DSC_0002.ARW\n<b>0003"); // a paste
        fx.click("startButton");
        EXPECT_EQ(fx.lines().last(), "⚠️ [快速分片] 条件不满足：请先输入文件名并拖入素材文件夹");
        EXPECT_FALSE(fx.view->isShowingProgress());

        fx.card("shoot/DSC_0001.ARW");
        fx.card("shoot/DSC_0002.JPG");
        fx.card("shoot/DSC_0004.NEF");
        fx.card("picked/DSC_0004.JPG");
        fx.card("picked/x/DSC_0005.JPG");
        fx.card("notes.txt");
        fx.dropSamples({url(fx.card() + "/picked"), url(fx.card() + "/notes.txt")});
        fx.dropSamples({url(fx.card() + "/picked")});
        EXPECT_EQ(fx.view->samples().sampleFileNames, QStringList({"DSC_0004.JPG", "DSC_0005.JPG"}));
        // The zone counts exactly the names it lists: the text file names nothing.
        fx.dropSamples({url(fx.card() + "/shoot/DSC_0001.ARW")});
        EXPECT_EQ(fx.find<QLabel>("sampleCount")->text(), "已提取 3 个文件名");
        EXPECT_EQ(fx.find<ElidedLabel>("sampleNames")->text(), "DSC_0004.JPG、DSC_0005.JPG、DSC_0001.ARW");
        sendDrag(fx.find("folderZone"), {url(fx.card() + "/shoot"), url(fx.card())}, true);
        EXPECT_EQ(fx.view->sourceFolder(), fx.card() + "/shoot");
        fx.click("moveModeButton");
        EXPECT_FALSE(fx.find("moveWarning")->isHidden());
        fx.save("quickfilter-form-filled-" + theme);
        fx.click("copyModeButton");
        EXPECT_TRUE(fx.find("moveWarning")->isHidden());

        ASSERT_TRUE(fx.runToEnd([&] { fx.click("startButton"); }));
        auto* panel = fx.view->progressView();
        EXPECT_TRUE(fx.view->isShowingProgress());
        // The pasted "<b>0003" and a sample from elsewhere name no file of
        // the folder: said on the ended panel.
        EXPECT_EQ(panel->titleText(), "部分名称未找到");
        EXPECT_EQ(panel->resultLines(),
                  QStringList({"已导出：3个", "跳过重复：0个", "名单中未找到：2个", "<B>0003、DSC_0005"}))
            << panel->resultLines().join('|').toStdString();
        EXPECT_FALSE(panel->firework());
        fx.save("quickfilter-completed-" + theme);

        // Back keeps every input; a run whose output cannot be made fails.
        fx.click("backButton");
        EXPECT_FALSE(fx.view->isShowingProgress());
        EXPECT_TRUE(fx.view->keywordsText().startsWith("dsc_0001"));
        fx.controller.setDateProvider([] { return QDate(2026, 3, 8); });
        ImportFixture::write(fx.card() + "/快速分片_3.8");
        ASSERT_TRUE(fx.runToEnd([&] { fx.click("startButton"); }));
        EXPECT_EQ(panel->titleText(), "分片失败");
        EXPECT_FALSE(panel->firework());
        fx.save("quickfilter-failed-" + theme);
    });
}

// A client's list typed on a Chinese keyboard, some of its names matching no
// file: the full-width names find their files, and the ended panel counts
// and names the rest instead of reading as a finished job. The missing-list
// file still follows its switch (off by default).
TEST(QuickFilterView, NamesThatMatchNothingAreCountedAndNamedOnTheEndedPanel)
{
    forEachTheme([](const QString& theme) {
        FilterScreen fx;
        fx.card("shoot/IMG_0020.JPG");
        fx.card("shoot/IMG_0021.ARW");
        fx.card("shoot/DSC_0100.NEF");
        UserInput::type(fx.view->keywordBox()->editor(),
                        "００２０，ＩＭＧ＿００２１．ＡＲＷ，DSC_0100，0001、0002。0003,0004．0005，Ａ０００６");
        sendDrag(fx.find("folderZone"), {url(fx.card() + "/shoot")}, true);
        ASSERT_TRUE(fx.runToEnd([&] { fx.click("startButton"); }));

        auto* panel = fx.view->progressView();
        EXPECT_EQ(ImportFixture::tree(fx.card() + "/快速分片_3.7"),
                  QStringList({"DSC_0100.NEF", "IMG_0020.JPG", "IMG_0021.ARW"}));
        EXPECT_EQ(panel->titleText(), "部分名称未找到");
        EXPECT_EQ(panel->resultLines(), QStringList({"已导出：3个", "跳过重复：0个", "名单中未找到：6个",
                                                     "0001、0002、0003、0004、0005 等"}))
            << panel->resultLines().join('|').toStdString();
        EXPECT_FALSE(panel->firework());
        EXPECT_TRUE(fx.lines().contains("⚠️ [快速分片] 名单中有 6 个名称未找到对应文件: "
                                        "[\"0001\", \"0002\", \"0003\", \"0004\", \"0005\", \"A0006\"]"));
        fx.save("quickfilter-missing-" + theme);

        // Every name found: the finished face as before.
        fx.click("backButton");
        fx.typeNames("ＩＭＧ＿００２１");
        ASSERT_TRUE(fx.runToEnd([&] { fx.click("startButton"); }));
        EXPECT_EQ(panel->titleText(), "分片完成");
        EXPECT_EQ(panel->resultLines(), QStringList({"已导出：0个", "跳过重复：1个"}));
        EXPECT_TRUE(panel->firework());
    });
}

// The panel names the first five names without a file; "等" only says that
// there are more than it names.
TEST(QuickFilterView, TheMissingNamesEndInEtcOnlyWhenSomeAreLeftUnnamed)
{
    FilterScreen fx;
    fx.card("shoot/DSC_0100.NEF");
    sendDrag(fx.find("folderZone"), {url(fx.card() + "/shoot")}, true);
    const struct { const char* typed; const char* count; const char* named; } rows[] = {
        {"0001，0002，0003，0004", "名单中未找到：4个", "0001、0002、0003、0004"},
        {"0001，0002，0003，0004，0005", "名单中未找到：5个", "0001、0002、0003、0004、0005"},
        {"0001，0002，0003，0004，0005，0006", "名单中未找到：6个", "0001、0002、0003、0004、0005 等"},
    };
    for (const auto& row : rows) {
        fx.typeNames(row.typed);
        ASSERT_TRUE(fx.runToEnd([&] { fx.click("startButton"); })) << row.typed;
        EXPECT_EQ(fx.view->progressView()->resultLines(),
                  QStringList({"已导出：0个", "跳过重复：0个", row.count, row.named}))
            << fx.view->progressView()->resultLines().join('|').toStdString();
        fx.click("backButton");
    }
}
