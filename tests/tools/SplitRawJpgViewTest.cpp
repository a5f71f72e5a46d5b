#include "AutoImportTestSupport.h"

#include "tools/FolderDropZone.h"
#include "tools/SplitRawJpgController.h"
#include "tools/SplitRawJpgView.h"
#include "tools/ToolProgressPanel.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedPanel.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QVBoxLayout>

namespace {

struct SplitScreen : ImportFixture
{
    SplitScreen()
        : backdrop(&AppTheme::background)
    {
        controller.setSoundPlayer([](float) {});
        auto* layout = new QVBoxLayout(&backdrop);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view = new SplitRawJpgView(&controller, &backdrop));
        backdrop.resize(860, 632);
        backdrop.show();
    }
    bool dropAndWait(QWidget* target, const QString& folder)
    {
        QSignalSpy done(&controller, &SplitRawJpgController::runFinished);
        sendDrag(target, {QUrl::fromLocalFile(folder)}, true);
        return takeSignal(done);
    }
    void save(const QString& name)
    {
        QTest::qWait(FireworkView::kDurationMs + 100);
        ASSERT_TRUE(backdrop.grab().save(shotPath(name)));
    }
    SplitRawJpgController controller;
    ThemedPanel backdrop;
    SplitRawJpgView* view = nullptr;
};

} // namespace

TEST(SplitRawJpgView, DropsRunPassesAndTheResultTakesTheNextFolder)
{
    Fonts::installApplicationFont();
    for (AppThemeStyle style : {AppThemeStyle::dark, AppThemeStyle::light}) {
        ThemeObserver::shared().setStyle(style);
        const QString theme = AppThemeStyles::rawValue(style);
        SplitScreen fx;
        fx.save("split-idle-" + theme);
        fx.card("a.NEF");
        fx.card("b.JPG");
        fx.card("c.txt");

        // A single file is ignored; the screen stays on its drop area.
        sendDrag(fx.view->dropZone(), {QUrl::fromLocalFile(fx.card() + "/c.txt")}, true);
        QTest::qWait(20);
        EXPECT_FALSE(fx.view->isShowingProgress());
        EXPECT_TRUE(fx.lines().contains("⚠️ [拖拽] 不是文件夹，是单个文件，已忽略"));

        ASSERT_TRUE(fx.dropAndWait(fx.view->dropZone(), fx.card()));
        ToolProgressPanel* panel = fx.view->progressView();
        EXPECT_TRUE(fx.view->isShowingProgress());
        EXPECT_EQ(panel->titleText(), "处理完成");
        EXPECT_EQ(panel->percentText(), "100%");
        EXPECT_EQ(panel->resultLines(), QStringList({"RAW：1个", "JPG/HEIF：1个", "跳过重复：0个"}));
        EXPECT_TRUE(panel->firework());
        fx.save("split-completed-" + theme);

        // The next folder dropped on the result: a "RAW" file blocks its folder.
        fx.card("next/RAW");
        fx.card("next/d.ARW");
        ASSERT_TRUE(fx.dropAndWait(panel, fx.card() + "/next"));
        EXPECT_EQ(panel->resultLines(), QStringList({"RAW：0个", "JPG/HEIF：0个", "跳过重复：0个",
                                                     fx.card() + "/next/RAW：无法创建文件夹，同名项目已存在且不是文件夹",
                                                     "失败：2个"}));
        EXPECT_EQ(panel->titleText(), "处理未完成");
        EXPECT_FALSE(panel->firework());
        fx.save("split-failed-" + theme);
    }
}
