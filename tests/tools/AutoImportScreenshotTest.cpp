#include "AutoImportTestSupport.h"

#include "ui/ElidedLabel.h"
#include "tools/AutoImportProgressView.h"
#include "tools/AutoImportView.h"

#include "LayoutCheck.h"

#include "UserInput.h"

#include <QPushButton>

// Walks the import screen through every state in both themes, checking what
// each form shows and saving a picture of it for a person to look at:
// <build>/screenshots/import-*.png.
namespace {

using Form = AutoImportProgressView::Form;

struct Screen : ToolScreen<AutoImportController, AutoImportView>
{
    using ToolScreen::ToolScreen;
    void save(const QString& name, int settleMs = 30)
    {
        ToolScreen::save(name, settleMs);
        expectCleanLayout(&backdrop);
    }
    bool run() { return runToEnd([this] { view->processFolder(card()); }); }
    AutoImportProgressView* panel() const { return view->progressView(); }
};

constexpr int kBurstMs = FireworkView::kDurationMs + 100;

void everyState(const QString& theme)
{
    {
        Screen idle;
        idle.save("import-idle-" + theme);
        EXPECT_FALSE(idle.view->isShowingProgress());
    }
    {
        // The narrowest detail area with a long stored root.
        Screen narrow(QSize(660, 532));
        AutoImportController::setImportRootPath(
            "/media/photographer/EOS_DIGITAL/a/very/long/path/that/cannot/fit/on/one/line/2026");
        narrow.save("import-idle-narrow-" + theme);
        AutoImportController::setImportRootPath(QString());
    }
    {
        Screen s;
        for (int i = 1; i <= 7; ++i)
            s.card(QString("DCIM/100CANON/IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0')));
        // Third in name order: the run is held as its copy starts.
        const QString longName = "IMG_0002_A_VERY_LONG_FILE_NAME_FROM_A_CAMERA_THAT_NAMES_ITS_FILES_"
                                 "VERBOSELY_2026_03_07_0001_FINAL_EDIT_EXPORTED_AGAIN_FOR_THE_CLIENT.CR3";
        s.card("DCIM/100CANON/" + longName);
        CopyGate gate(3, 0);
        QSignalSpy done(&s.controller, &AutoImportController::runFinished);
        s.view->processFolder(s.card());
        auto* panel = s.panel();
        EXPECT_EQ(panel->form(), Form::running);
        EXPECT_EQ(panel->titleText(), "正在导片");
        EXPECT_EQ(panel->countText(), "当前复制：0 / 0"); // the total arrives with the scan
        gate.reached.acquire();
        QTRY_COMPARE(s.controller.processedCount(), 2);
        EXPECT_EQ(panel->percentText(), "25%");
        EXPECT_EQ(panel->barValue(), 250);
        EXPECT_EQ(panel->countText(), "当前复制：3 / 8"); // the third file is in hand
        EXPECT_EQ(panel->currentFileText(), longName);
        const QString shown = panel->findChild<ElidedLabel*>()->shownText(); // loses its middle
        EXPECT_TRUE(shown.startsWith("IMG_0002") && shown.endsWith(".CR3") && shown.size() < longName.size())
            << shown.toStdString();
        EXPECT_TRUE(panel->resultLines().isEmpty());
        s.save("import-running-" + theme);

        UserInput::click(panel->cancelButton());
        EXPECT_TRUE(s.lines().contains("🛑 [取消] 用户点击取消导入，将在当前文件复制完成后停止（已复制文件保留）"));
        EXPECT_EQ(panel->form(), Form::running); // until the worker stops
        gate.proceed.release();
        ASSERT_TRUE(takeSignal(done));
        EXPECT_EQ(panel->form(), Form::cancelled);
        EXPECT_EQ(panel->titleText(), "已取消导入");
        EXPECT_EQ(panel->percentText(), "37%"); // the real share, no check mark
        EXPECT_EQ(panel->firework(), nullptr);
        EXPECT_EQ(panel->resultLines(),
                  QStringList({"用户已取消导入，请勿立刻格式化存储卡", "照片：3张", "视频：0个", "跳过重复：0个"}));
        s.save("import-cancelled-" + theme, kBurstMs);
    }
    {
        Screen s;
        s.card("DCIM/a.JPG");
        s.card("DCIM/b.CR3");
        s.card("v.MP4");
        ASSERT_TRUE(s.run());
        auto* panel = s.panel();
        EXPECT_EQ(panel->form(), Form::completed);
        EXPECT_EQ(panel->titleText(), "导片完成");
        EXPECT_EQ(panel->percentText(), "100%");
        EXPECT_EQ(panel->barValue(), 1000);
        EXPECT_NE(panel->firework(), nullptr);
        EXPECT_TRUE(panel->cancelButton()->isHidden());
        EXPECT_EQ(panel->resultLines(), QStringList({"照片：2张", "视频：1个", "跳过重复：0个"}));
        // The next cards run in the same panel.
        ASSERT_TRUE(s.run());
        EXPECT_EQ(panel->resultLines(), QStringList({"照片：0张", "视频：0个", "跳过重复：3个"}));
        s.card("DCIM/c.JPG");
        ASSERT_TRUE(s.run());
        EXPECT_EQ(s.panel(), panel);
        EXPECT_EQ(panel->resultLines(), QStringList({"照片：1张", "视频：0个", "跳过重复：3个"}));
        s.save("import-completed-" + theme, kBurstMs);
    }
    {
        Screen s;
        s.card("a.JPG");
        s.card("b.JPG");
        ImportFixture::write(s.photos()); // a file where the photo folder goes
        ASSERT_TRUE(s.run());
        EXPECT_EQ(s.panel()->form(), Form::failed);
        EXPECT_EQ(s.panel()->titleText(), "导片未完成");
        EXPECT_EQ(s.panel()->firework(), nullptr);
        EXPECT_EQ(s.panel()->resultLines(),
                  QStringList({"部分文件未能导入，请勿立刻格式化存储卡", "照片：0张", "视频：0个", "跳过重复：0个",
                               s.photos() + "：无法创建文件夹，同名项目已存在且不是文件夹", "失败：2个"}));
        EXPECT_TRUE(s.volumes.isEmpty());
        s.save("import-failed-" + theme, kBurstMs);
    }
    {
        Screen s;
        s.card("notes.txt");
        ASSERT_TRUE(s.run());
        EXPECT_EQ(s.panel()->form(), Form::empty);
        EXPECT_EQ(s.panel()->titleText(), "未找到照片或视频");
        EXPECT_EQ(s.panel()->firework(), nullptr);
        EXPECT_TRUE(s.volumes.isEmpty());
    }
}

} // namespace

TEST(AutoImportScreenshots, EveryState) { forEachTheme(everyState); }
