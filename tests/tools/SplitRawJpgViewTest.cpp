#include "AutoImportTestSupport.h"

#include "tools/FolderDropZone.h"
#include "tools/SplitRawJpgView.h"
#include "tools/ToolProgressPanel.h"

namespace {
using SplitScreen = ToolScreen<SplitRawJpgController, SplitRawJpgView>;
}

TEST(SplitRawJpgView, DropsRunPassesAndTheResultTakesTheNextFolder)
{
    forEachTheme([](const QString& theme) {
        SplitScreen fx;
        fx.save("split-idle-" + theme);
        fx.card("a.NEF");
        fx.card("b.JPG");
        fx.card("c.txt");

        // A single file is ignored; the screen stays on its drop area.
        sendDrag(fx.view->dropZone(), {QUrl::fromLocalFile(fx.card() + "/c.txt")}, true);
        EXPECT_FALSE(fx.view->isShowingProgress());
        EXPECT_TRUE(fx.lines().contains("⚠️ [拖拽] 不是文件夹，是单个文件，已忽略"));

        ASSERT_TRUE(fx.runToEnd([&] { sendDrag(fx.view->dropZone(), {QUrl::fromLocalFile(fx.card())}, true); }));
        ToolProgressPanel* panel = fx.view->progressView();
        EXPECT_TRUE(fx.view->isShowingProgress());
        EXPECT_EQ(panel->titleText(), "处理完成");
        EXPECT_EQ(panel->resultLines(), QStringList({"RAW：1个", "JPG/HEIF：1个", "跳过重复：0个"}));
        EXPECT_TRUE(panel->firework());
        EXPECT_EQ(fx.volumes.size(), 1);
        fx.save("split-completed-" + theme);

        // The next folder dropped on the result: a "RAW" file blocks its folder.
        fx.card("next/RAW");
        fx.card("next/d.ARW");
        ASSERT_TRUE(fx.runToEnd([&] { sendDrag(panel, {QUrl::fromLocalFile(fx.card() + "/next")}, true); }));
        EXPECT_EQ(panel->resultLines(), QStringList({"RAW：0个", "JPG/HEIF：0个", "跳过重复：0个",
                                                     fx.card() + "/next/RAW：无法创建文件夹，同名项目已存在且不是文件夹",
                                                     "失败：2个"}));
        EXPECT_EQ(panel->titleText(), "处理未完成");
        EXPECT_FALSE(panel->firework());
        EXPECT_EQ(fx.volumes.size(), 1); // a failure is silent
        fx.save("split-failed-" + theme);
    });
}

// The idle drop area stands in the middle of the page, as the import's does,
// at most 620 wide and 40 from each side when the page is narrower.
TEST(SplitRawJpgView, TheIdleDropAreaIsCentred)
{
    for (const QSize size : {QSize(860, 632), QSize(1300, 800), QSize(660, 532)}) {
        SCOPED_TRACE(size.width());
        SplitScreen fx(size);
        QWidget* zone = fx.view->dropZone();
        const int left = zone->mapTo(&fx.backdrop, QPoint()).x();
        const int right = fx.backdrop.width() - left - zone->width();
        EXPECT_LE(std::abs(left - right), 1) << left << " " << right;
        // The stretches that centre it take a pixel each from a narrow page.
        EXPECT_NEAR(zone->width(), std::min(FolderDropZone::kMaxWidth, size.width() - 80), 2);
        if (size.width() == 860)
            fx.save("split-idle-centred", 30);
    }
}
