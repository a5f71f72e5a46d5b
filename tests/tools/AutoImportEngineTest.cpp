#include "AutoImportTestSupport.h"

#include "tools/AutoImportEngine.h"
#include "tools/SafeFileTransfer.h"

#include <sys/stat.h>

namespace {

struct RunResult
{
    int total = -1;
    AutoImportOutcome outcome;
    bool finished = false;
    int copied() const { return outcome.counts.photos + outcome.counts.videos; }
};

RunResult runEngine(const ImportFixture& fx, AutoImportEngine::Options options = {}, bool cancelled = false)
{
    AutoImportEngine engine;
    RunResult r;
    if (options.desktopPath.isEmpty())
        options.desktopPath = fx.desktop();
    if (!options.date.isValid())
        options.date = kDay;
    QObject::connect(&engine, &AutoImportEngine::scanFinished, [&](int n) { r.total = n; });
    QObject::connect(&engine, &AutoImportEngine::finished, [&](const AutoImportOutcome& o) {
        r.outcome = o;
        r.finished = true;
    });
    if (cancelled)
        engine.requestCancel();
    engine.run(fx.card(), options);
    return r;
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

TEST(AutoImportEngine, NumberedNamesAndKinds)
{
    const std::pair<const char*, const char*> numbered[] = {
        {"IMG_0001.JPG", "IMG_0001-2.JPG"}, {"clip.tar.MP4", "clip.tar-2.MP4"}, {"README", "README-2"}, {".jpg", ".jpg-2"}};
    for (const auto& [name, expected] : numbered)
        EXPECT_EQ(AutoImportEngine::numberedName(name, 2), expected);

    // By the lower-cased last extension; .pef is RAW for the split tool only.
    using K = AutoImportEngine::Kind;
    const std::pair<const char*, K> kinds[] = {
        {"DSC0001.ARW", K::photo}, {"a.Cr3", K::photo}, {"IMG.heif", K::photo}, {"C0001.MP4", K::video},
        {"x.prores", K::video}, {"x.M2TS", K::video}, {"clip.MOV.tmp", K::none}, {"x.pef", K::none},
        {"JPG", K::none}, {"photo.", K::none}};
    for (const auto& [name, kind] : kinds)
        EXPECT_EQ(AutoImportEngine::kindOf(name), kind) << name;
}

TEST(AutoImportEngine, ScanSkipsHiddenItemsAndFailsOnAnUnreadableSource)
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

    // A missing source or a plain file is a failure, not an empty card.
    EXPECT_TRUE(AutoImportEngine::scan(fx.path("no-such-card")).sourceUnreadable);
    EXPECT_TRUE(fx.lines().contains("❌ [扫描] 无法创建枚举器，目录可能不可访问: " + fx.path("no-such-card")));

    EXPECT_TRUE(AutoImportEngine::scan(fx.card() + "/MISC/readme.txt").sourceUnreadable);
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
    ImportFixture::setModified(fx.card() + "/DCIM/100CANON/IMG_0001.CR3", old);

    const RunResult r = runEngine(fx);
    ASSERT_TRUE(r.finished);
    const QString target = fx.desktop() + "/" + kBase;
    EXPECT_EQ(r.total, 3);
    EXPECT_EQ(r.outcome.targetPath, target);
    EXPECT_EQ(r.outcome.counts.failed, 0);
    EXPECT_EQ(r.copied(), 3);
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

TEST(AutoImportEngine, NothingIsCreatedWithoutMedia)
{
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
    fx.card("a.NEF");
    QDir().mkpath(fx.path("store"));
    AutoImportEngine::Options o;
    o.dailyNewFolder = true;
    o.rootPath = fx.path("store");
    runEngine(fx, o);
    runEngine(fx, o);
    // Only the subfolders that get files.
    EXPECT_EQ(ImportFixture::tree(fx.path("store")), QStringList({kBase + "-2/", kBase + "-2/照片/", kBase + "-2/照片/a.NEF",
                                                                 kBase + "/", kBase + "/照片/", kBase + "/照片/a.NEF"}));
    EXPECT_TRUE(fx.lines().contains("📁 [导片] 使用自定义照片存放位置: " + fx.path("store")));
    EXPECT_TRUE(fx.lines().contains("📁 [导片] 当日新建文件夹模式：" + kBase + "-2"));
}

TEST(AutoImportEngine, ANameTakenDuringTheCopyIsNeverOverwritten)
{
    ImportFixture fx;
    fx.card("a.JPG", 40);
    const QString photos = fx.photos();
    int calls = 0;
    ReadHookScope hook([&](const QString&, qint64 at, qint64 size) {
        if (at == size && ++calls == 1)
            ImportFixture::write(photos + "/a.JPG", 7, 'z'); // another writer wins the name
        return 0;
    });
    const RunResult r = runEngine(fx);
    EXPECT_EQ(r.copied(), 1);
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
    const auto result = SafeFileTransfer::copy(pipe, fx.path("out"), "IMG_0001.JPG");
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.nameTaken);
    EXPECT_TRUE(ImportFixture::tree(fx.path("out")).isEmpty());
}

TEST(AutoImportEngine, CancelStopsInsideALargeFileAndLeavesNoPartialCopy)
{
    ImportFixture fx;
    fx.card("C0001.MP4", 3 * SafeFileTransfer::kBufferSize + 1);
    fx.card("C0002.MP4");
    // Seen after the first block, long before the file's end.
    const RunResult r = runEngine(fx, {}, true);
    EXPECT_EQ(r.outcome.counts.processed, 0); // the cut file is not counted as handled
    EXPECT_EQ(r.outcome.notCopied, 2);
    EXPECT_EQ(ImportFixture::tree(fx.desktop() + "/" + kBase), QStringList({"视频/"}));
    EXPECT_TRUE(fx.lines().contains("🛑 [取消] 2 个文件未复制"));

    // A cancel with nothing left to stop says nothing of one.
    ImportFixture one;
    one.card("C0001.MP4");
    const RunResult whole = runEngine(one, {}, true);
    EXPECT_EQ(whole.outcome.notCopied, 0);
    EXPECT_EQ(whole.copied(), 1);
    EXPECT_FALSE(one.lines().join('\n').contains("🛑"));
}
