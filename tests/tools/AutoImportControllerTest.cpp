#include "AutoImportTestSupport.h"

#include "platform/UserDefaults.h"
#include "tools/AutoImportController.h"

#include <gtest/gtest.h>

#include <QSemaphore>
#include <QSignalSpy>

namespace {

const QString kBase = QStringLiteral("3.7-相机导出");

struct ControllerFixture : ImportFixture
{
    ControllerFixture()
    {
        controller.setDateProvider([] { return QDate(2026, 3, 7); });
        controller.setDesktopPath(desktop());
        controller.setSoundPlayer([this](float v) { volumes.append(v); });
    }
    bool runToEnd()
    {
        QSignalSpy done(&controller, &AutoImportController::runFinished);
        if (!controller.processFolder(card()))
            return false;
        return done.wait(10000);
    }
    AutoImportController controller;
    QList<float> volumes;
};

} // namespace

TEST(AutoImportController, PreferenceDefaultsAndDisplayPath)
{
    EXPECT_TRUE(AutoImportController::soundEnabled());
    EXPECT_EQ(AutoImportController::volumePercent(), 80);
    EXPECT_FALSE(AutoImportController::dailyNewFolder());
    EXPECT_EQ(AutoImportController::importRootPath(), QString());
    EXPECT_FALSE(AutoImportController::importRootDisplayPath().isEmpty());

    AutoImportController::setImportRootPath("/gone/folder");
    // Shown as stored even when the folder no longer exists.
    EXPECT_EQ(AutoImportController::importRootDisplayPath(), "/gone/folder");
    AutoImportController::setDailyNewFolder(true);
    EXPECT_EQ(UserDefaults::standard().object("dailyNewFolder"), QVariant(true));
}

TEST(AutoImportController, PercentagesAreWholeNumbersCutTowardZero)
{
    EXPECT_EQ(AutoImportController::percentOf(29, 100), 29);
    EXPECT_EQ(AutoImportController::percentOf(3, 8), 37);
    EXPECT_EQ(AutoImportController::percentOf(999, 1000), 99);
    EXPECT_EQ(AutoImportController::percentOf(0, 0), 0);
    EXPECT_EQ(AutoImportController::percentOf(5, 0), 100);
}

TEST(AutoImportController, ARunCountsAndEndsWithTheSound)
{
    ControllerFixture fx;
    fx.card("DCIM/a.JPG");
    fx.card("DCIM/b.JPG");
    fx.card("DCIM/sub/b.JPG");
    fx.card("v.MOV");
    ASSERT_TRUE(fx.runToEnd());
    const auto& c = fx.controller;
    EXPECT_FALSE(c.isProcessing());
    EXPECT_TRUE(c.isCompleted());
    EXPECT_FALSE(c.isCancelled());
    EXPECT_EQ(c.totalCount(), 4);
    EXPECT_EQ(c.processedCount(), 4);
    EXPECT_EQ(c.photoCount(), 2);
    EXPECT_EQ(c.videoCount(), 1);
    EXPECT_EQ(c.skipCount(), 1);
    EXPECT_EQ(c.failedCount(), 0);
    EXPECT_EQ(c.progressPercent(), 100);
    EXPECT_TRUE(c.currentFileName().isEmpty());
    ASSERT_EQ(fx.volumes.size(), 1);
    EXPECT_FLOAT_EQ(fx.volumes[0], 0.8f);

    const QStringList lines = fx.lines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.first(), "🚀 [导片] 开始导片，源路径: " + fx.card());
    EXPECT_EQ(lines.mid(lines.size() - 3), QStringList({
        "✅ [完成] 导片完成：照片 2张，视频 1个，跳过重复 1个",
        "✅ [完成] 目标位置: " + fx.desktop() + "/" + kBase,
        "🔔 [提示音] 导片完成，按音量 80% 播放内置提示音",
    }));
}

TEST(AutoImportController, SoundFollowsThePreferences)
{
    ControllerFixture fx;
    fx.card("a.JPG");
    UserDefaults::standard().set("autoImportVolume", 35);
    ASSERT_TRUE(fx.runToEnd());
    ASSERT_EQ(fx.volumes.size(), 1);
    EXPECT_FLOAT_EQ(fx.volumes[0], 0.35f);
    EXPECT_EQ(fx.lines().last(), "🔔 [提示音] 导片完成，按音量 35% 播放内置提示音");

    UserDefaults::standard().set("autoImportSound", false);
    ASSERT_TRUE(fx.runToEnd());
    EXPECT_EQ(fx.volumes.size(), 1);
    EXPECT_FALSE(fx.lines().last().startsWith("🔔"));
}

TEST(AutoImportController, FailuresAreCountedAndSilent)
{
    ControllerFixture fx;
    fx.card("a.JPG");
    fx.card("b.JPG");
    ImportFixture::write(fx.desktop() + "/" + kBase + "/照片"); // read-only target stand-in
    ASSERT_TRUE(fx.runToEnd());
    EXPECT_EQ(fx.controller.failedCount(), 2);
    EXPECT_EQ(fx.controller.photoCount(), 0);
    EXPECT_TRUE(fx.volumes.isEmpty());
    EXPECT_EQ(fx.lines().last(), "❌ [完成] 有 2 个文件导入失败，未播放提示音，请检查存储卡和目标磁盘");
}

TEST(AutoImportController, ASecondStartIsRefusedAndCancelStaysUsable)
{
    ControllerFixture fx;
    fx.card("a.JPG");
    fx.card("b.JPG");
    fx.card("c.JPG");
    QSemaphore inCopy;
    QSemaphore proceed;
    fx.controller.setCopyFault([&](const QString&) {
        inCopy.release();
        proceed.acquire();
        return QString();
    });
    QSignalSpy done(&fx.controller, &AutoImportController::runFinished);
    ASSERT_TRUE(fx.controller.processFolder(fx.card()));
    inCopy.acquire();

    EXPECT_FALSE(fx.controller.processFolder(fx.path("other")));
    EXPECT_TRUE(fx.lines().contains("⚠️ [导片] 正在导片中，请等待当前导片完成或取消后再开始: " + fx.path("other")));
    EXPECT_TRUE(fx.controller.isProcessing());

    fx.controller.requestCancel();
    fx.controller.requestCancel();
    EXPECT_TRUE(fx.controller.cancelRequested());
    EXPECT_TRUE(fx.controller.isProcessing()); // only the worker ends the run
    proceed.release(10);
    ASSERT_TRUE(done.wait(10000));

    EXPECT_TRUE(fx.controller.isCancelled());
    EXPECT_EQ(fx.controller.processedCount(), 1);
    EXPECT_EQ(fx.controller.photoCount(), 1);
    EXPECT_TRUE(fx.volumes.isEmpty());
    const QStringList lines = fx.lines();
    EXPECT_EQ(lines.count("🛑 [取消] 用户点击取消导入，将在当前文件复制完成后停止（已复制文件保留）"), 2);
    EXPECT_TRUE(lines.contains("🛑 [取消] 导片已取消：照片 1张，视频 0个，跳过重复 0个（已复制文件保留）"));

    // Once ended, the next card starts normally and resets the counters.
    fx.controller.setCopyFault({});
    ASSERT_TRUE(fx.runToEnd());
    EXPECT_FALSE(fx.controller.isCancelled());
    EXPECT_EQ(fx.controller.photoCount(), 2);
    EXPECT_EQ(fx.controller.skipCount(), 1);
}

TEST(AutoImportController, AReadOnlyRootGivesTheFailureLineAndNoSound)
{
    ControllerFixture fx;
    fx.card("a.JPG");
    fx.card("b.MP4");
    // Read-only even for root, so the check holds whoever runs the tests.
    AutoImportController::setImportRootPath("/proc");
    ASSERT_TRUE(fx.runToEnd());
    EXPECT_EQ(fx.controller.failedCount(), 2);
    EXPECT_EQ(fx.controller.photoCount() + fx.controller.videoCount(), 0);
    EXPECT_TRUE(fx.volumes.isEmpty());
    const QStringList lines = fx.lines();
    EXPECT_TRUE(lines.contains("📁 [导片] 使用自定义照片存放位置: /proc"));
    EXPECT_TRUE(lines.contains("✅ [完成] 目标位置: /proc/" + kBase));
    EXPECT_FALSE(QFileInfo::exists("/proc/" + kBase));
    EXPECT_EQ(lines.last(), "❌ [完成] 有 2 个文件导入失败，未播放提示音，请检查存储卡和目标磁盘");
}
