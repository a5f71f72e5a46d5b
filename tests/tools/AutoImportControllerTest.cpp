#include "AutoImportTestSupport.h"

#include "SaveFaults.h"

#include <cerrno>
#include <iostream>
#include <memory>

TEST(AutoImportController, PercentagesAndTheShownRoot)
{
    // Shown as stored even when the folder no longer exists.
    AutoImportController::setImportRootPath("/gone/folder");
    EXPECT_EQ(AutoImportController::importRootDisplayPath(), "/gone/folder");

    // Whole numbers cut toward zero; nothing to do is already done.
    const int percents[][3] = {{29, 100, 29}, {3, 8, 37}, {999, 1000, 99}, {0, 0, 0}, {5, 0, 100}};
    for (const auto& p : percents)
        EXPECT_EQ(AutoImportController::percentOf(p[0], p[1]), p[2]) << p[0] << "/" << p[1];
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
    EXPECT_EQ(QList<int>({c.totalCount(), c.processedCount(), c.photoCount(), c.videoCount(), c.skipCount(),
                          c.failedCount(), c.progressPercent()}),
              QList<int>({4, 4, 2, 1, 1, 0, 100}));
    EXPECT_TRUE(c.currentFileName().isEmpty());
    EXPECT_EQ(fx.volumes, QList<float>({0.8f}));

    const QStringList lines = fx.lines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.first(), "🚀 [导片] 开始导片，源路径: " + fx.card());
    EXPECT_EQ(lines.mid(lines.size() - 3), QStringList({
        "✅ [完成] 导片完成：照片 2张，视频 1个，跳过重复 1个",
        "✅ [完成] 目标位置: " + fx.desktop() + "/" + kBase,
        "🔔 [提示音] 导片完成，按音量 80% 播放内置提示音",
    }));
}

TEST(AutoImportController, ASecondStartIsRefusedAndCancelStopsAfterTheFileInHand)
{
    ControllerFixture fx;
    fx.card("a.JPG");
    fx.card("b.JPG");
    fx.card("c.JPG");
    CopyGate gate(1);
    QSignalSpy done(&fx.controller, &AutoImportController::runFinished);
    ASSERT_TRUE(fx.controller.processFolder(fx.card()));
    gate.reached.acquire();

    EXPECT_FALSE(fx.controller.processFolder(fx.path("other")));
    EXPECT_TRUE(fx.lines().contains("⚠️ [导片] 正在导片中，请等待当前导片完成或取消后再开始: " + fx.path("other")));
    EXPECT_TRUE(fx.controller.isProcessing());

    fx.controller.requestCancel();
    fx.controller.requestCancel();
    EXPECT_TRUE(fx.controller.cancelRequested());
    EXPECT_TRUE(fx.controller.isProcessing()); // only the worker ends the run
    gate.proceed.release();
    ASSERT_TRUE(done.wait(10000));

    EXPECT_TRUE(fx.controller.isCancelled());
    EXPECT_EQ(fx.controller.processedCount(), 1);
    EXPECT_EQ(fx.controller.photoCount(), 1);
    EXPECT_TRUE(fx.volumes.isEmpty());
    const QStringList lines = fx.lines();
    EXPECT_EQ(lines.count("🛑 [取消] 用户点击取消导入，将在当前文件复制完成后停止（已复制文件保留）"), 2);
    EXPECT_TRUE(lines.contains("🛑 [取消] 检测到取消请求，停止后续文件复制（已复制文件全部保留）"));
    EXPECT_TRUE(lines.contains("🛑 [取消] 导片已取消：照片 1张，视频 0个，跳过重复 0个（已复制文件保留）"));
    EXPECT_EQ(ImportFixture::tree(fx.photos()), QStringList({"a.JPG"}));

    // Once ended, the next card starts normally and resets the counters.
    ASSERT_TRUE(fx.runToEnd());
    EXPECT_FALSE(fx.controller.isCancelled());
    EXPECT_EQ(fx.controller.photoCount(), 2);
    EXPECT_EQ(fx.controller.skipCount(), 1);
}

// A card that fails mid-read (pulled, a bad sector): the file is not kept in
// part, the next one follows, and the run ends as a failure without the sound.
TEST(AutoImportController, AReadErrorInsideAFileFailsTheRunAndKeepsNoPart)
{
    ControllerFixture fx;
    fx.card("a.JPG", SafeFileTransfer::kBufferSize + 1000);
    fx.card("b.JPG");
    {
        ReadHookScope failing([](const QString& path, qint64 at, qint64) {
            return path.endsWith("/a.JPG") && at == SafeFileTransfer::kBufferSize ? EIO : 0;
        });
        ASSERT_TRUE(fx.runToEnd());
    }
    const auto& c = fx.controller;
    EXPECT_EQ(c.failedCount(), 1);
    EXPECT_EQ(c.photoCount(), 1);
    EXPECT_EQ(c.failures(), (QList<QPair<QString, QString>>{{"a.JPG", "磁盘读写出错（I/O 错误）"}}));
    EXPECT_TRUE(fx.volumes.isEmpty());
    EXPECT_TRUE(fx.lines().contains("❌ [复制失败] a.JPG: 磁盘读写出错（I/O 错误）"));
    EXPECT_EQ(ImportFixture::tree(fx.photos()), QStringList({"b.JPG"})); // no part, no temporary file

    // Read again without the fault, it is copied whole, not called a duplicate.
    ASSERT_TRUE(fx.runToEnd());
    EXPECT_EQ(c.photoCount(), 1);
    EXPECT_EQ(QFileInfo(fx.photos() + "/a.JPG").size(), SafeFileTransfer::kBufferSize + 1000);
}

// A long clip moves the bar while it copies, under its own name.
TEST(AutoImportController, TheFileInHandIsNamedAndItsBytesCount)
{
    ControllerFixture fx;
    fx.card("a.JPG");
    fx.card("clip.MP4", 4 * SafeFileTransfer::kBufferSize);
    CopyGate gate(1, 2 * SafeFileTransfer::kBufferSize); // half way through the clip
    QSignalSpy done(&fx.controller, &AutoImportController::runFinished);
    ASSERT_TRUE(fx.controller.processFolder(fx.card()));
    gate.reached.acquire();
    QTRY_COMPARE(fx.controller.progressPermille(), 750); // 1.5 of 2 files
    EXPECT_EQ(fx.controller.currentFileName(), "clip.MP4");
    EXPECT_EQ(fx.controller.processedCount(), 1);
    EXPECT_EQ(fx.controller.progressPercent(), 75);
    gate.proceed.release();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_EQ(fx.controller.progressPercent(), 100);
}

// Quitting waits for the worker and logs how the run ended before the
// process goes, without an event loop to deliver it.
TEST(AutoImportController, QuittingLogsHowManyFilesWereNotCopied)
{
    const struct { int heldAt; bool cancelled; QString line; } rows[] = {
        {1, true, "🛑 [取消] 2 个文件未复制"},
        {3, false, "✅ [完成] 导片完成：照片 3张，视频 0个，跳过重复 0个"},
    };
    for (const auto& row : rows) {
        ControllerFixture fx;
        for (const char* name : {"a.JPG", "b.JPG", "c.JPG"})
            fx.card(name);
        CopyGate gate(row.heldAt);
        ASSERT_TRUE(fx.controller.processFolder(fx.card()));
        gate.reached.acquire();
        fx.controller.requestCancel(AutoImportController::CancelBy::quit);
        gate.proceed.release();
        fx.controller.waitForWorker();
        EXPECT_FALSE(fx.controller.isProcessing()) << row.heldAt;
        EXPECT_EQ(fx.controller.isCancelled(), row.cancelled) << row.heldAt;
        const QStringList lines = fx.lines();
        EXPECT_TRUE(lines.contains(row.line)) << lines.join('\n').toStdString();
        EXPECT_EQ(lines.filter("未复制").size(), row.cancelled ? 1 : 0);
        EXPECT_TRUE(lines.filter("用户点击").isEmpty()); // nobody pressed cancel
        if (row.cancelled)
            EXPECT_EQ(lines.filter("应用退出").size(), 1);
        EXPECT_TRUE(fx.volumes.isEmpty()); // no sound while quitting
    }
}

// An import that could not write its files never logs itself as done: the
// summary says unfinished, as the panel does, on a real full disk (root) and
// through the copy seam.
TEST(AutoImportController, AFullDiskLogsTheImportAsUnfinished)
{
    for (const bool real : {true, false}) {
        SCOPED_TRACE(real ? "a real full disk" : "the copy seam");
        ControllerFixture fx;
        fx.card("DCIM/a.JPG", 64 * 1024);
        std::unique_ptr<SaveFaults::FullDisk> full;
        std::unique_ptr<ReadHookScope> seam;
        if (real) {
            full = std::make_unique<SaveFaults::FullDisk>(fx.desktop());
            if (!full->mounted()) {
                std::cout << "skipped: " << full->skipReason().toStdString() << '\n';
                continue;
            }
        } else {
            seam = std::make_unique<ReadHookScope>([](const QString&, qint64, qint64) { return ENOSPC; });
        }
        ASSERT_TRUE(fx.runToEnd());
        EXPECT_EQ(fx.controller.failedCount(), 1);
        const QStringList lines = fx.lines();
        EXPECT_TRUE(lines.filter("导片完成").isEmpty()) << lines.join('\n').toStdString();
        EXPECT_EQ(lines.mid(lines.size() - 3), QStringList({
            "❌ [完成] 导片未完成：照片 0张，视频 0个，跳过重复 0个",
            "✅ [完成] 目标位置: " + fx.desktop() + "/" + kBase,
            "❌ [完成] 有 1 个文件导入失败，未播放提示音，请检查存储卡和目标磁盘",
        }));
        ASSERT_EQ(fx.controller.failures().size(), 1);
        EXPECT_TRUE(fx.controller.failures().first().second.contains("磁盘空间不足"));
        EXPECT_TRUE(fx.volumes.isEmpty());
    }
}
