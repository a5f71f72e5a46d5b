#include "AutoImportTestSupport.h"

#include "tools/SafeFileTransfer.h"
#include "tools/SplitRawJpgController.h"

using SplitFixture = ToolFixture<SplitRawJpgController>;

TEST(SplitRawJpg, SortsByExtensionAndASecondPassSkipsEverything)
{
    SplitFixture fx;
    for (const char* name : {"IMG_1.JPG", "IMG_2.jpeg", "a.HEIC", "sub/b.heif", "a.NEF", "sub/deep/b.Cr3",
                             "c.DNG", "clip.mov", "notes.txt", "README"})
        fx.card(name);
    ASSERT_TRUE(fx.runToEnd());
    EXPECT_EQ(ImportFixture::tree(fx.card()),
              QStringList({"JPG/", "JPG/IMG_1.JPG", "JPG/IMG_2.jpeg", "JPG/a.HEIC", "JPG/b.heif", "RAW/",
                           "RAW/a.NEF", "RAW/b.Cr3", "RAW/c.DNG", "README", "clip.mov", "notes.txt", "sub/",
                           "sub/deep/"}));
    EXPECT_TRUE(fx.lines().contains("✅ [完成] 处理完成：RAW 3个，JPG/HEIF 4个，跳过重复 0个"));
    EXPECT_EQ(fx.controller.totalCount(), 10);
    EXPECT_EQ(fx.controller.processedCount(), 10);
    EXPECT_EQ(fx.volumes.size(), 1);

    ASSERT_TRUE(fx.runToEnd());
    EXPECT_EQ(fx.controller.rawCount() + fx.controller.jpgCount(), 0);
    EXPECT_EQ(fx.controller.skipCount(), 7);
    EXPECT_EQ(fx.lines().last(), "✅ [完成] 处理完成：RAW 0个，JPG/HEIF 0个，跳过重复 7个");
}

TEST(SplitRawJpg, DuplicateNamesHiddenEntriesAndLinks)
{
    SplitFixture fx;
    fx.card("a/IMG_1.JPG", 16, 'a');
    fx.card("b/IMG_1.JPG", 16, 'b');
    fx.card(".hidden.NEF");
    fx.card(".cache/x.NEF");
    fx.card("target.bin");
    // Links stay where they are, counted as skipped: one moved into "RAW"
    // or "JPG" would point elsewhere, or nowhere.
    QFile::link(fx.card() + "/target.bin", fx.card() + "/link.NEF");
    QDir().mkpath(fx.card() + "/sub");
    ASSERT_EQ(::symlink("../target.bin", QFile::encodeName(fx.card() + "/sub/rel.JPG").constData()), 0);
    ASSERT_TRUE(fx.runToEnd());

    EXPECT_EQ(fx.controller.jpgCount(), 1);
    EXPECT_EQ(fx.controller.skipCount(), 3);
    EXPECT_EQ(fx.controller.totalCount(), 5); // hidden entries are not counted
    EXPECT_TRUE(QFileInfo::exists(fx.card() + "/.hidden.NEF"));
    EXPECT_TRUE(QFileInfo::exists(fx.card() + "/.cache/x.NEF"));
    const QFileInfo link(fx.card() + "/link.NEF");
    EXPECT_TRUE(link.isSymLink());
    EXPECT_EQ(link.symLinkTarget(), fx.card() + "/target.bin");
    EXPECT_TRUE(QFileInfo(fx.card() + "/target.bin").isFile());
    EXPECT_FALSE(SafeFileTransfer::occupied(fx.card() + "/RAW/link.NEF"));
    EXPECT_FALSE(SafeFileTransfer::occupied(fx.card() + "/JPG/rel.JPG"));
    EXPECT_TRUE(QFileInfo(fx.card() + "/sub/rel.JPG").isSymLink());
    EXPECT_TRUE(QFileInfo(fx.card() + "/sub/rel.JPG").isFile()); // still leads to its file
    EXPECT_TRUE(fx.lines().contains("⚠️ [跳过] 符号链接，保留原位: rel.JPG"));
    EXPECT_TRUE(fx.lines().contains("✅ [完成] 处理完成：RAW 0个，JPG/HEIF 1个，跳过重复 3个"));
}

// The move never replaces: not a file checked before, not one that appeared
// after the check, not across file systems.
TEST(SplitRawJpg, MovesNeverReplaceAnExistingName)
{
    ImportFixture fx;
    fx.card("src/a.NEF", 8, 'n');
    fx.card("src/b.NEF", 8, 'n');
    fx.card("dst/a.NEF", 4, 'o');
    fx.card("dst/b.NEF", 4, 'o');
    QFile::link("nowhere", fx.card() + "/src/l.NEF");
    for (auto move : {&SafeFileTransfer::move, &SafeFileTransfer::moveByCopy}) {
        const QString name = move == &SafeFileTransfer::move ? "a.NEF" : "b.NEF";
        const auto taken = move(fx.card() + "/src/" + name, fx.card() + "/dst", name);
        EXPECT_TRUE(taken.nameTaken);
        EXPECT_EQ(QFileInfo(fx.card() + "/src/" + name).size(), 8);
        EXPECT_EQ(QFileInfo(fx.card() + "/dst/" + name).size(), 4);
    }
    ASSERT_TRUE(SafeFileTransfer::moveByCopy(fx.card() + "/src/a.NEF", fx.card() + "/dst", "c.NEF").ok);
    const auto link = SafeFileTransfer::moveByCopy(fx.card() + "/src/l.NEF", fx.card() + "/dst", "l.NEF");
    ASSERT_TRUE(link.ok) << link.error.toStdString();
    EXPECT_EQ(ImportFixture::tree(fx.card()),
              QStringList({"dst/", "dst/a.NEF", "dst/b.NEF", "dst/c.NEF", "dst/l.NEF", "src/", "src/b.NEF"}));
    EXPECT_EQ(QFileInfo(fx.card() + "/dst/l.NEF").symLinkTarget(), fx.card() + "/dst/nowhere");
}

// A folder dropped during a pass starts a new pass; the first one's reports,
// still queued, never reach the screen.
TEST(SplitRawJpg, ASecondDropOwnsTheScreen)
{
    SplitFixture fx;
    for (int i = 0; i < 50; ++i)
        fx.card(QString("IMG_%1.JPG").arg(i));
    QDir().mkpath(fx.path("empty"));
    QSignalSpy done(&fx.controller, &SplitRawJpgController::runFinished);
    fx.controller.processFolder(fx.card());
    fx.controller.processFolder(fx.path("empty"));
    ASSERT_TRUE(done.wait(10000));
    fx.controller.waitForWorkers();
    QTest::qWait(50);
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(fx.controller.totalCount(), 0);
    EXPECT_EQ(fx.controller.jpgCount(), 0);
    EXPECT_EQ(ImportFixture::tree(fx.card() + "/JPG").size(), 50); // the first pass still finished
}
