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
        EXPECT_EQ(panel->titleText(), "分片完成");
        EXPECT_EQ(panel->resultLines(), QStringList({"已导出：3个", "跳过重复：0个"}));
        EXPECT_TRUE(panel->firework());
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
