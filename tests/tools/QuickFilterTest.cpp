#include "AutoImportTestSupport.h"

#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "tools/QuickFilterController.h"
#include "tools/QuickFilterKeywords.h"
#include "tools/QuickFilterSamples.h"

namespace {

using Mode = QuickFilterEngine::Mode;
using Set = QSet<QString>;

// A source folder "card" whose output folder is "快速分片_3.7" beside it.
struct FilterFixture : ToolFixture<QuickFilterController>
{
    FilterFixture() { UserDefaults::standard().set("missingRawList", true); }
    ~FilterFixture() { UserDefaults::standard().remove("missingRawList"); }
    QString output() const { return path("快速分片_3.7"); }
    bool run(const Set& keywords, Mode mode = Mode::copy)
    {
        return runToEnd([&] { controller.startExport(card(), keywords, mode); });
    }
    QByteArray missingList() const
    {
        QFile f(output() + "/缺失RAW清单.txt");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
};

const QByteArray kHeader = "以下素材在目标文件夹中未找到对应的RAW原图：\n（请检查这些文件名是否在素材文件夹中存在）\n"
    + QByteArray(36, '-') + "\n";

} // namespace

TEST(QuickFilter, KeywordParsing)
{
    const struct { QString text; Set keywords; } cases[] = {
        {"0001，0002、0003。0004.0005", {"0001", "0002", "0003", "0004", "0005"}},
        {"/Users/a/DSC_0009", {"DSC_0009"}},
        {"folder/", {"FOLDER"}},
        {"dsc_0001\nDSC_0001\r\n", {"DSC_0001"}},
        {"DSC_0001.ARW", {"DSC_0001", "ARW"}},
        {"0001 0002", {"0001 0002"}},
        {" ,, \n", {}},
        // Typed in full-width mode: read as the camera names them.
        {"\u3000ａ_０００１\u3000\n\n  b  ", {"A_0001", "B"}},
        {"００２０，ＩＭＧ＿００２１．ＡＲＷ", {"0020", "IMG_0021", "ARW"}},
        {"０００１\u3000０００２、0003；0004", {"0001 0002", "0003;0004"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QuickFilterKeywords::parse(c.text), c.keywords) << c.text.toStdString();
    EXPECT_EQ(QuickFilterKeywords::build("x", {"a.b"}, {"c"}), Set({"X", "A.B", "C"}));
    EXPECT_EQ(QuickFilterKeywords::listText({"A", "B"}), "[\"A\", \"B\"]");
}

TEST(QuickFilter, MatchingCopiesExactlyTheNamedCameraFiles)
{
    FilterFixture fx;
    for (const char* name : {"DSC_1234.ARW", "sub/DSC_1234.JPG", "X_1234.NEF", "IMG_1234A.JPG", "DSC_1234.MOV",
                             "Y_1234.png", "Z_１２３４.jpg"})
        fx.card(name);
    EXPECT_EQ(QuickFilterEngine::matchedKeyword("Z_１２３４.jpg", {"１２３４"}), "１２３４");
    EXPECT_EQ(QuickFilterEngine::matchedKeyword("123.JPG", {"123"}), "123");
    ASSERT_TRUE(fx.run({"DSC_1234", "1234", "0001", "ARW"}));
    EXPECT_EQ(ImportFixture::tree(fx.output()),
              QStringList({"DSC_1234.ARW", "DSC_1234.JPG", "X_1234.NEF", "缺失RAW清单.txt"}));
    EXPECT_EQ(fx.controller.matchCount(), 3);
    // "ARW" came from a pasted extension: no photo is missing under that name.
    EXPECT_EQ(fx.missingList(), kHeader + "0001\n");
    EXPECT_TRUE(fx.lines().contains("✅ [快速分片] 完成：命中 3个，跳过重复 0个"));
    EXPECT_TRUE(fx.lines().contains("⚠️ [快速分片] 名单中有 1 个名称未找到对应文件: [\"0001\"]"));
    EXPECT_EQ(fx.controller.missing(), QStringList({"0001"}));
    EXPECT_TRUE(fx.lines().contains("🔑 [快速分片] 筛选关键词列表: [\"0001\", \"1234\", \"ARW\", \"DSC_1234\"]"));
}

TEST(QuickFilter, NestedOutputSecondRunAndMoveMode)
{
    FilterFixture fx;
    fx.card("a/DSC_0001.ARW");
    fx.card("b/DSC_0001.ARW");
    fx.card("快速分片_1.1/DSC_0002.ARW");
    fx.card("DSC_0002.JPG");
    ASSERT_TRUE(fx.run({"DSC_0001", "DSC_0002"}));
    EXPECT_EQ(fx.controller.totalCount(), 3);
    EXPECT_EQ(fx.controller.skipCount(), 1);
    EXPECT_EQ(fx.missingList(), "<none>");
    EXPECT_TRUE(fx.lines().contains("📁 [快速分片] 跳过输出目录: 快速分片_1.1"));
    EXPECT_TRUE(fx.lines().contains("✅ [缺失清单] 所有关键词均找到匹配，无缺失素材，不生成txt文件"));
    EXPECT_TRUE(fx.lines().filter("未找到对应文件").isEmpty());

    ASSERT_TRUE(fx.run({"DSC_0001", "DSC_0002"}, Mode::move));
    EXPECT_EQ(fx.controller.matchCount(), 0);
    EXPECT_EQ(fx.controller.skipCount(), 3);
    // A move beside another picture of that name never replaces it.
    fx.card("c/DSC_0003.NEF", 20, 'b');
    ImportFixture::write(fx.output() + "/DSC_0003.NEF", 7, 'z');
    ASSERT_TRUE(fx.run({"DSC_0003"}, Mode::move));
    EXPECT_FALSE(QFileInfo::exists(fx.card() + "/c/DSC_0003.NEF"));
    EXPECT_EQ(QFileInfo(fx.output() + "/DSC_0003.NEF").size(), 7);
    EXPECT_EQ(QFileInfo(fx.output() + "/DSC_0003-2.NEF").size(), 20);
}

TEST(QuickFilter, AMissingListTheDiskRefusesLeavesTheRunUnfinishedWithItsCause)
{
    FilterFixture fx;
    fx.card("DSC_0001.ARW");
    Paths::setSaveHook([](Paths::SaveStep step, qsizetype&) { return step == Paths::SaveStep::Sync ? ENOSPC : 0; });
    const bool ended = fx.run({"DSC_0001", "DSC_0002"});
    Paths::setSaveHook({});
    ASSERT_TRUE(ended);
    EXPECT_EQ(fx.missingList(), "<none>");
    EXPECT_EQ(fx.controller.matchCount(), 1);
    EXPECT_EQ(fx.controller.failedCount(), 1);
    ASSERT_EQ(fx.controller.failures().size(), 1);
    EXPECT_EQ(fx.controller.failures().first().first, "缺失RAW清单.txt");
    EXPECT_TRUE(fx.controller.failures().first().second.contains("磁盘空间不足"))
        << fx.controller.failures().first().second.toStdString();
}

// "返回" during a run lets go of it: its late reports never reach the form
// or a newer run.
TEST(QuickFilter, BackDuringARunDetachesIt)
{
    FilterFixture fx;
    for (int i = 0; i < 50; ++i)
        fx.card(QString("DSC_%1.ARW").arg(i, 4, 10, QChar('0')));
    QSignalSpy done(&fx.controller, &QuickFilterController::runFinished);
    ASSERT_TRUE(fx.controller.startExport(fx.card(), {"DSC_0001"}, Mode::copy));
    fx.controller.backToSetting();
    fx.controller.waitForWorkers();
    QTest::qWait(50);
    EXPECT_EQ(done.count(), 0);
    EXPECT_FALSE(fx.controller.isProcessing() || fx.controller.isCompleted());
    EXPECT_EQ(fx.controller.totalCount(), 0);
    EXPECT_TRUE(QFileInfo(fx.output() + "/DSC_0001.ARW").isFile()); // it still ran to its end
    // and said so, though no screen took its end
    EXPECT_TRUE(fx.lines().contains("✅ [快速分片] 完成：命中 1个，跳过重复 0个"));
    EXPECT_TRUE(fx.lines().contains("✅ [快速分片] 输出位置: " + fx.output()));
}

// Quitting stops a run between two files: the names it never reached are
// not reported missing, and it is not logged as done.
TEST(QuickFilter, ARunStoppedByQuittingListsNoNamesAsMissing)
{
    FilterFixture fx;
    Set names;
    for (int i = 0; i < 20; ++i) {
        const QString name = QString("DSC_%1").arg(i, 4, 10, QChar('0'));
        fx.card(name + ".ARW");
        names.insert(name);
    }
    QuickFilterEngine engine;
    // The quit comes while the first file is being copied, as the controller
    // stops its engines when the app goes.
    ReadHookScope quit([&engine](const QString&, qint64 at, qint64 size) {
        if (at == size)
            engine.stop();
        return 0;
    });
    QSignalSpy finished(&engine, &QuickFilterEngine::finished);
    engine.run({.source = fx.card(), .keywords = names, .date = kDay, .missingListEnabled = [] { return true; }});
    ASSERT_EQ(finished.count(), 1);
    EXPECT_TRUE(finished.first().first().value<QuickFilterOutcome>().missing.isEmpty());
    EXPECT_EQ(ImportFixture::tree(fx.output()).size(), 1);
    EXPECT_EQ(fx.missingList(), "<none>");
    const QStringList lines = fx.lines();
    EXPECT_TRUE(lines.filter("完成：").isEmpty()) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.filter("未找到对应文件").isEmpty()) << lines.join('\n').toStdString();
}

TEST(QuickFilter, SamplesAccumulateOnce)
{
    ImportFixture fx;
    fx.card("s/A.ARW");
    fx.card("s/x/A.JPG");
    fx.card("s/.h/B.ARW");
    fx.card("s/B.png");
    fx.card("notes.txt");
    QuickFilterSamples samples;
    for (int i = 0; i < 2; ++i)
        samples.merge(QuickFilterSamples::collect({fx.card() + "/s", fx.card() + "/notes.txt"}));
    // A dropped file that is not a photo names nothing.
    EXPECT_EQ(samples.sampleFileNames, QStringList({"A.ARW", "A.JPG"}));
    EXPECT_EQ(samples.sampleBaseNames, QStringList({"A"}));
    EXPECT_EQ(samples.sampleRawBaseNames, QStringList({"A"}));
    EXPECT_EQ(samples.sampleJpgBaseNames, QStringList({"A"}));
    EXPECT_TRUE(fx.lines().contains("⚠️ [快速分片] 不是RAW或JPG照片，已忽略: notes.txt"));
    EXPECT_EQ(fx.lines().last(), "✅ [快速分片] 已提取 1 个基础文件名（RAW: 1个 / JPG: 1个）");
}
