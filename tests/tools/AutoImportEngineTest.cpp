#include "AutoImportTestSupport.h"

#include "tools/AutoImportEngine.h"
#include "tools/AutoImportFileCopy.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

const QDate kDay(2026, 3, 7);
const QString kBase = QStringLiteral("3.7-相机导出");

struct RunResult
{
    int total = -1;
    QList<AutoImportFileReport> reports;
    AutoImportRunSummary summary;
    bool finished = false;
};

RunResult runEngine(AutoImportEngine& engine, const ImportFixture& fx,
                    AutoImportEngine::Options options = {})
{
    RunResult r;
    if (options.desktopPath.isEmpty())
        options.desktopPath = fx.desktop();
    if (!options.date.isValid())
        options.date = kDay;
    QObject::connect(&engine, &AutoImportEngine::scanFinished, [&](int n) { r.total = n; });
    QObject::connect(&engine, &AutoImportEngine::fileHandled,
                     [&](const AutoImportFileReport& rep) { r.reports.append(rep); });
    QObject::connect(&engine, &AutoImportEngine::runFinished, [&](const AutoImportRunSummary& s) {
        r.summary = s;
        r.finished = true;
    });
    engine.run(fx.card(), options);
    return r;
}

RunResult runEngine(const ImportFixture& fx, AutoImportEngine::Options options = {})
{
    AutoImportEngine engine;
    return runEngine(engine, fx, options);
}

int count(const RunResult& r, bool AutoImportFileReport::*flag)
{
    int n = 0;
    for (const auto& rep : r.reports)
        n += rep.*flag ? 1 : 0;
    return n;
}

} // namespace

TEST(AutoImportEngine, FolderNamesInBothModesReuseAFreedNumber)
{
    ImportFixture fx;
    const QString root = fx.desktop();
    EXPECT_EQ(AutoImportEngine::baseFolderName(QDate(2026, 12, 25)), QStringLiteral("12.25-相机导出"));
    EXPECT_EQ(AutoImportEngine::targetFolderName(root, kDay, false), kBase);
    EXPECT_EQ(AutoImportEngine::targetFolderName(root, kDay, true), kBase);

    QDir().mkpath(root + "/" + kBase);
    // Without the daily mode a second run adds to the same folder.
    EXPECT_EQ(AutoImportEngine::targetFolderName(root, kDay, false), kBase);
    EXPECT_EQ(AutoImportEngine::targetFolderName(root, kDay, true), kBase + "-2");
    QDir().mkpath(root + "/" + kBase + "-2");
    ImportFixture::write(root + "/" + kBase + "-3"); // any item blocks the name
    EXPECT_EQ(AutoImportEngine::targetFolderName(root, kDay, true), kBase + "-4");
    QDir(root + "/" + kBase + "-2").removeRecursively();
    EXPECT_EQ(AutoImportEngine::targetFolderName(root, kDay, true), kBase + "-2");
}

TEST(AutoImportEngine, NumberedNamesKeepTheExtension)
{
    EXPECT_EQ(AutoImportEngine::numberedName("IMG_0001.JPG", 2), "IMG_0001-2.JPG");
    EXPECT_EQ(AutoImportEngine::numberedName("clip.tar.MP4", 3), "clip.tar-3.MP4");
    EXPECT_EQ(AutoImportEngine::numberedName("README", 2), "README-2");
    EXPECT_EQ(AutoImportEngine::numberedName(".jpg", 2), ".jpg-2");
}

TEST(AutoImportEngine, ClassifiesByLowerCasedLastExtension)
{
    using K = AutoImportEngine::Kind;
    EXPECT_EQ(AutoImportEngine::kindOf("DSC0001.ARW"), K::photo);
    EXPECT_EQ(AutoImportEngine::kindOf("a.Cr3"), K::photo);
    EXPECT_EQ(AutoImportEngine::kindOf("IMG.heif"), K::photo);
    EXPECT_EQ(AutoImportEngine::kindOf("C0001.MP4"), K::video);
    EXPECT_EQ(AutoImportEngine::kindOf("x.prores"), K::video);
    EXPECT_EQ(AutoImportEngine::kindOf("x.M2TS"), K::video);
    EXPECT_EQ(AutoImportEngine::kindOf("clip.MOV.tmp"), K::none);
    EXPECT_EQ(AutoImportEngine::kindOf("x.pef"), K::none); // RAW for the split tool only
    EXPECT_EQ(AutoImportEngine::kindOf("JPG"), K::none);
    EXPECT_EQ(AutoImportEngine::kindOf("photo."), K::none);
    EXPECT_EQ(AutoImportEngine::photoExtensions().size(), 13);
    EXPECT_EQ(AutoImportEngine::videoExtensions().size(), 6);
}

TEST(AutoImportEngine, ScanSkipsHiddenItemsAndCountsByteForByte)
{
    ImportFixture fx;
    fx.card("DCIM/100CANON/IMG_0001.JPG");
    fx.card("DCIM/100CANON/IMG_0001.CR3");
    fx.card("DCIM/100CANON/.IMG_0002.JPG");       // hidden file
    fx.card("DCIM/.thumbs/IMG_0003.JPG");         // inside a hidden folder
    fx.card("PRIVATE/M4ROOT/CLIP/C0001.MP4");
    fx.card("PRIVATE/M4ROOT/clip.MOV.tmp");
    fx.card("MISC/readme.txt");
    QFile::link(fx.card() + "/DCIM/100CANON/IMG_0001.JPG", fx.card() + "/link.jpg");

    const auto result = AutoImportEngine::scan(fx.card());
    QStringList rel;
    for (const QString& f : result.files)
        rel << QDir(fx.card()).relativeFilePath(f);
    rel.sort();
    EXPECT_EQ(rel, QStringList({"DCIM/100CANON/IMG_0001.CR3", "DCIM/100CANON/IMG_0001.JPG",
                                "PRIVATE/M4ROOT/CLIP/C0001.MP4"}));
    // Dirs: DCIM, 100CANON, MISC, PRIVATE, M4ROOT, CLIP, plus the link = 7.
    EXPECT_EQ(fx.lines(), QStringList({
        "📂 [扫描] 开始用 directoryEnumerator 递归扫描: " + fx.card(),
        "📂 [扫描统计] 遍历 7 个子目录，扫描 5 个文件，素材 3 个，过滤 2 个",
    }));
    EXPECT_FALSE(result.sourceUnreadable);
}

TEST(AutoImportEngine, UnreadableSourceIsAFailure)
{
    ImportFixture fx;
    const auto result = AutoImportEngine::scan(fx.path("no-such-card"));
    EXPECT_TRUE(result.sourceUnreadable);
    EXPECT_TRUE(fx.lines().contains("❌ [扫描] 无法创建枚举器，目录可能不可访问: " + fx.path("no-such-card")));

    const QString file = fx.path("a-file");
    ImportFixture::write(file);
    EXPECT_TRUE(AutoImportEngine::scan(file).sourceUnreadable);
}

TEST(AutoImportEngine, RootChoiceTable)
{
    ImportFixture fx;
    const QString desk = fx.desktop();
    QDir().mkpath(fx.path("photos"));
    ImportFixture::write(fx.path("plain-file"));
    struct Row { QString stored; QString expected; bool custom; };
    const Row rows[] = {
        {"", desk, false},
        {fx.path("photos"), fx.path("photos"), true},
        {fx.path("gone"), desk, false},
        {fx.path("plain-file"), desk, false},
        {"photos", desk, false}, // relative: would depend on where the app was started
    };
    for (const Row& row : rows) {
        const auto choice = AutoImportEngine::chooseRoot(row.stored, desk);
        EXPECT_EQ(choice.path, row.expected) << row.stored.toStdString();
        EXPECT_EQ(choice.custom, row.custom) << row.stored.toStdString();
    }
}

TEST(AutoImportEngine, RunWritesTheLayoutAndLogLinesExactly)
{
    ImportFixture fx;
    fx.card("DCIM/100CANON/IMG_0001.JPG", 100);
    fx.card("DCIM/100CANON/IMG_0001.CR3", 200);
    fx.card("PRIVATE/C0001.MP4", 300);
    fx.card("notes.txt");
    const QDateTime old = QDateTime::fromSecsSinceEpoch(1600000000);
    {
        QFile f(fx.card() + "/DCIM/100CANON/IMG_0001.CR3");
        f.open(QIODevice::ReadWrite);
        f.setFileTime(old, QFileDevice::FileModificationTime);
    }

    const RunResult r = runEngine(fx);
    ASSERT_TRUE(r.finished);
    const QString target = fx.desktop() + "/" + kBase;
    EXPECT_EQ(r.total, 3);
    EXPECT_EQ(r.summary.targetPath, target);
    EXPECT_EQ(r.summary.failedCount, 0);
    EXPECT_EQ(count(r, &AutoImportFileReport::copied), 3);
    EXPECT_EQ(ImportFixture::tree(target),
              QStringList({"照片/", "照片/IMG_0001.CR3", "照片/IMG_0001.JPG", "视频/", "视频/C0001.MP4"}));
    EXPECT_EQ(QFileInfo(target + "/视频/C0001.MP4").size(), 300);
    // The copy keeps the card's modification time.
    EXPECT_EQ(QFileInfo(target + "/照片/IMG_0001.CR3").lastModified(), old);

    const QStringList expected = {
        "🔐 [沙盒] 源文件夹安全访问: true",
        "📂 [扫描] 开始用 directoryEnumerator 递归扫描: " + fx.card(),
        "📂 [扫描统计] 遍历 3 个子目录，扫描 4 个文件，素材 3 个，过滤 1 个",
        "📂 [扫描完成] 递归扫描到素材文件总数: 3",
        "📊 [统计] 扫描到照片 2张，视频 1个",
        "📁 [创建] 照片文件夹",
        "📁 [创建] 视频文件夹",
        "📁 [创建] 目标文件夹: " + target,
        "🔐 [沙盒] 已释放源文件夹安全访问",
    };
    EXPECT_EQ(fx.lines(), expected);
}

TEST(AutoImportEngine, SubfoldersOnlyWhenNeededAndNothingWithoutMedia)
{
    ImportFixture fx;
    fx.card("a.NEF");
    runEngine(fx);
    EXPECT_EQ(ImportFixture::tree(fx.desktop()), QStringList({kBase + "/", kBase + "/照片/", kBase + "/照片/a.NEF"}));

    ImportFixture empty;
    empty.card("readme.txt");
    AutoImportEngine::Options daily;
    daily.dailyNewFolder = true;
    const RunResult r = runEngine(empty, daily);
    EXPECT_EQ(r.total, 0);
    EXPECT_TRUE(ImportFixture::tree(empty.desktop()).isEmpty());
    const QStringList lines = empty.lines();
    EXPECT_TRUE(lines.contains("⚠️ [警告] 没有扫描到任何照片/视频文件，请检查存储卡内容和权限"));
    EXPECT_TRUE(lines.contains("📁 [导片] 当日新建文件夹模式：" + kBase));
    EXPECT_TRUE(lines.contains("📁 [创建] 目标文件夹: " + empty.desktop() + "/" + kBase));
    // Nothing was created, so the next run takes the same name again.
    EXPECT_EQ(AutoImportEngine::targetFolderName(empty.desktop(), kDay, true), kBase);
}

TEST(AutoImportEngine, DailyModeMakesANewFolderPerRunUnderACustomRoot)
{
    ImportFixture fx;
    fx.card("a.JPG");
    QDir().mkpath(fx.path("store"));
    AutoImportEngine::Options o;
    o.dailyNewFolder = true;
    o.rootPath = fx.path("store");
    runEngine(fx, o);
    runEngine(fx, o);
    EXPECT_TRUE(QFileInfo::exists(fx.path("store/" + kBase + "/照片/a.JPG")));
    EXPECT_TRUE(QFileInfo::exists(fx.path("store/" + kBase + "-2/照片/a.JPG")));
    EXPECT_TRUE(fx.lines().contains("📁 [导片] 使用自定义照片存放位置: " + fx.path("store")));
    EXPECT_TRUE(fx.lines().contains("📁 [导片] 当日新建文件夹模式：" + kBase + "-2"));
}

TEST(AutoImportEngine, SameNameSameSizeIsSkippedWhicheverComesFirst)
{
    ImportFixture fx;
    fx.card("DCIM/100CANON/IMG_0001.JPG", 64, 'x');
    fx.card("DCIM/101CANON/IMG_0001.JPG", 64, 'x');
    const RunResult r = runEngine(fx);
    EXPECT_EQ(count(r, &AutoImportFileReport::copied), 1);
    EXPECT_EQ(count(r, &AutoImportFileReport::skipped), 1);
    EXPECT_EQ(fx.lines().count("⚠️ [跳过重复] IMG_0001.JPG"), 1);

    // A second run of the same day skips everything, nothing is rewritten.
    const RunResult again = runEngine(fx);
    EXPECT_EQ(count(again, &AutoImportFileReport::skipped), 2);
    EXPECT_EQ(count(again, &AutoImportFileReport::copied), 0);
    EXPECT_EQ(ImportFixture::tree(fx.desktop() + "/" + kBase),
              QStringList({"照片/", "照片/IMG_0001.JPG"}));
}

TEST(AutoImportEngine, SameNameOtherSizeGetsTheNextFreeNumber)
{
    ImportFixture fx;
    const QString photos = fx.desktop() + "/" + kBase + "/照片";
    ImportFixture::write(photos + "/IMG_0001.JPG", 10, 'q'); // last year's shot, other camera
    ImportFixture::write(photos + "/IMG_0001-2.JPG", 11, 'q');
    QDir().mkpath(photos + "/C0001.JPG");                    // a folder holding the name
    fx.card("A/IMG_0001.JPG", 50);
    fx.card("A/C0001.JPG", 5);

    const RunResult r = runEngine(fx);
    EXPECT_EQ(count(r, &AutoImportFileReport::copied), 2);
    EXPECT_EQ(QFileInfo(photos + "/IMG_0001.JPG").size(), 10); // never overwritten
    EXPECT_EQ(QFileInfo(photos + "/IMG_0001-3.JPG").size(), 50);
    EXPECT_EQ(QFileInfo(photos + "/C0001-2.JPG").size(), 5);
    EXPECT_TRUE(fx.lines().contains("⚠️ [导片] IMG_0001.JPG 与已有同名文件大小不同，另存为 IMG_0001-3.JPG"));

    // Importing the card again finds its files under their new names.
    const RunResult again = runEngine(fx);
    EXPECT_EQ(count(again, &AutoImportFileReport::skipped), 2);
    EXPECT_EQ(ImportFixture::tree(photos).size(), 5);
}

TEST(AutoImportEngine, CancelStopsAfterTheFileInHand)
{
    ImportFixture fx;
    fx.card("a.JPG");
    fx.card("b.JPG");
    fx.card("c.JPG");
    AutoImportEngine engine;
    AutoImportEngine::Options o;
    o.copyFault = [&](const QString&) {
        engine.requestCancel();
        return QString();
    };
    const RunResult r = runEngine(engine, fx, o);
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.reports.size(), 1);
    EXPECT_TRUE(r.reports[0].copied);
    EXPECT_TRUE(fx.lines().contains("🛑 [取消] 检测到取消请求，停止后续文件复制（已复制文件全部保留）"));
    EXPECT_EQ(ImportFixture::tree(fx.desktop() + "/" + kBase + "/照片"), QStringList({"a.JPG"}));
}

TEST(AutoImportEngine, AFailedCopyLeavesNoFileBehind)
{
    ImportFixture fx;
    fx.card("a.JPG", 3000000);
    fx.card("b.JPG", 20);
    AutoImportEngine::Options o;
    o.copyFault = [](const QString& name) { return name == "a.JPG" ? QStringLiteral("设备上没有空间") : QString(); };
    const RunResult r = runEngine(fx, o);
    EXPECT_EQ(r.summary.failedCount, 1);
    EXPECT_TRUE(r.reports[0].failed);
    EXPECT_FALSE(r.reports[0].copied);
    EXPECT_TRUE(fx.lines().contains("❌ [复制失败] a.JPG: 设备上没有空间"));
    // No partial file under the real name and no temporary file left over.
    EXPECT_EQ(ImportFixture::tree(fx.desktop() + "/" + kBase + "/照片"), QStringList({"b.JPG"}));

    // The next run copies it properly instead of calling it a duplicate.
    const RunResult again = runEngine(fx);
    EXPECT_EQ(count(again, &AutoImportFileReport::copied), 1);
    EXPECT_EQ(QFileInfo(fx.desktop() + "/" + kBase + "/照片/a.JPG").size(), 3000000);
}

TEST(AutoImportEngine, ATargetThatCannotBeCreatedFailsEveryCopy)
{
    ImportFixture fx;
    fx.card("a.JPG");
    fx.card("b.MOV");
    ImportFixture::write(fx.desktop() + "/" + kBase + "/照片"); // a file where the folder goes
    const RunResult r = runEngine(fx);
    EXPECT_TRUE(r.summary.createFailed);
    EXPECT_EQ(r.summary.failedCount, 2);
    EXPECT_EQ(count(r, &AutoImportFileReport::failed), 2);
    const QStringList lines = fx.lines();
    EXPECT_TRUE(lines.contains("❌ [创建] 创建目标文件夹失败: 无法创建文件夹 " + fx.desktop() + "/" + kBase + "/照片"));
    EXPECT_FALSE(lines.contains("📁 [创建] 照片文件夹"));
    EXPECT_FALSE(QFileInfo::exists(fx.desktop() + "/" + kBase + "/视频"));
}

TEST(AutoImportEngine, ANameTakenDuringTheCopyIsNeverOverwritten)
{
    ImportFixture fx;
    fx.card("a.JPG", 40);
    const QString photos = fx.desktop() + "/" + kBase + "/照片";
    int calls = 0;
    AutoImportEngine::Options o;
    o.copyFault = [&](const QString&) {
        if (++calls == 1)
            ImportFixture::write(photos + "/a.JPG", 7, 'z'); // another writer wins the name
        return QString();
    };
    const RunResult r = runEngine(fx, o);
    EXPECT_EQ(count(r, &AutoImportFileReport::copied), 1);
    EXPECT_EQ(QFileInfo(photos + "/a.JPG").size(), 7);
    EXPECT_EQ(QFileInfo(photos + "/a-2.JPG").size(), 40);
    EXPECT_EQ(ImportFixture::tree(photos), QStringList({"a-2.JPG", "a.JPG"}));
}

TEST(AutoImportEngine, ASourceSwappedForAPipeFailsInsteadOfHanging)
{
    ImportFixture fx;
    const QString pipe = fx.card() + "/IMG_0001.JPG";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    QDir().mkpath(fx.path("out"));
    const auto result = AutoImportFileCopy::copy(pipe, fx.path("out"), "IMG_0001.JPG");
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.nameTaken);
    EXPECT_TRUE(ImportFixture::tree(fx.path("out")).isEmpty());
}
