#include "AutoImportTestSupport.h"

#include "platform/UserDefaults.h"
#include "tools/QuickFilterSamples.h"
#include "tools/SafeFileTransfer.h"

#include <QThread>

#include <memory>

namespace {

const QString kLeftover = QStringLiteral(".tessary-3fa9c01d.part");

} // namespace

// Only our own temporary names go, and not one a copy still writes.
TEST(LeftoverTemporaries, OnlyUnheldFilesOfOurNamingAreRemoved)
{
    ImportFixture fx;
    const QString dir = fx.path("out");
    const std::pair<QString, bool> entries[] = {
        {kLeftover, true}, {".tessary-0.part", true},
        {".tessary-3FA9.part", false}, {".tessary-12345678901234567.part", false}, // not our digits
        {".tessary-abc.part.JPG", false}, {"tessary-abc.part", false}, {"IMG_0001.JPG", false},
    };
    for (const auto& [name, removed] : entries)
        ImportFixture::write(dir + "/" + name);

    // A copy of this process is held half way through.
    fx.card("big.JPG", 2 * SafeFileTransfer::kBufferSize);
    CopyGate gate(1, SafeFileTransfer::kBufferSize);
    SafeFileTransfer::Result copied;
    std::unique_ptr<QThread> copier(
        QThread::create([&] { copied = SafeFileTransfer::copy(fx.card() + "/big.JPG", dir, "big.JPG"); }));
    copier->start();
    gate.reached.acquire();
    EXPECT_EQ(SafeFileTransfer::removeLeftovers(dir), 2);
    gate.proceed.release();
    copier->wait();

    EXPECT_TRUE(copied.ok) << copied.error.toStdString();
    const QStringList after = ImportFixture::tree(dir);
    for (const auto& [name, removed] : entries)
        EXPECT_EQ(after.contains(name), !removed) << name.toStdString();
    // The held copy's own temporary file survived the sweep and became its picture.
    EXPECT_EQ(after.filter(".tessary-").size(), 3);
    EXPECT_EQ(QFileInfo(dir + "/big.JPG").size(), 2 * SafeFileTransfer::kBufferSize);
    EXPECT_TRUE(fx.lines().contains("🧹 [清理] 已删除中断留下的临时文件 2 个: " + dir));
}

// Each tool sweeps the folders its run writes to when the run starts there,
// and no other.
TEST(LeftoverTemporaries, EachToolSweepsTheFoldersItWritesTo)
{
    for (const Tool tool : kTools) {
        SCOPED_TRACE(nameOf(tool));
        ImportFixture fx;
        fx.card("DSC_0001.ARW");
        fx.card("DSC_0001.JPG");
        ImportFixture::write(targetOf(tool, fx) + "/" + kLeftover);
        ImportFixture::write(fx.path("elsewhere/") + kLeftover);
        ASSERT_TRUE(runTool(tool, fx).ended);
        EXPECT_FALSE(QFileInfo::exists(targetOf(tool, fx) + "/" + kLeftover));
        EXPECT_TRUE(QFileInfo::exists(fx.path("elsewhere/") + kLeftover));
        EXPECT_TRUE(QFileInfo(targetOf(tool, fx) + "/DSC_0001.ARW").isFile());
    }
}

// A file where a tool's folder goes: the run ends as a failure, takes nothing
// off the card, leaves that file as it was, and stays silent.
TEST(BlockedDestination, TheRunFailsAndNothingIsLost)
{
    for (const Tool tool : kTools) {
        SCOPED_TRACE(nameOf(tool));
        ImportFixture fx;
        fx.card("DSC_0001.ARW");
        ImportFixture::write(targetOf(tool, fx), 5, 'z');
        const ToolEnd end = runTool(tool, fx);
        ASSERT_TRUE(end.ended);
        EXPECT_TRUE(end.failed);
        EXPECT_TRUE(end.sounds.isEmpty());
        if (tool == Tool::import)
            EXPECT_EQ(fx.lines().last(), "❌ [完成] 有 1 个文件导入失败，未播放提示音，请检查存储卡和目标磁盘");
        EXPECT_TRUE(QFileInfo(fx.card() + "/DSC_0001.ARW").isFile());
        EXPECT_EQ(QFileInfo(targetOf(tool, fx)).size(), 5);
    }
}

// Camera bodies and clients reuse names: a file of that name already at the
// destination is the same picture only with the same size and either the same
// time or the same bytes; another picture goes in beside it as "-2", and
// nothing already there changes.
TEST(SameName, OnlyTheSameFileIsADuplicateAnotherTakesTheNextNumber)
{
    const QDateTime shot(kDay, QTime(10, 0));
    struct File { const char* folder; qint64 size; char fill; int secondsLater; };
    // At the destination beforehand, 'a's taken at `shot` (a size below 0: a folder).
    using Present = QList<std::pair<QString, qint64>>;
    struct Case { const char* name; Present present; QList<File> card; QStringList after; int skipped; };
    const Present one = {{"IMG_0001.JPG", 4096}};
    const QStringList both = {"IMG_0001-2.JPG", "IMG_0001.JPG"};
    const Case cases[] = {
        {"same size and time: trusted unread", one, {{"", 4096, 'b', 0}}, {"IMG_0001.JPG"}, 1},
        {"other time and bytes", one, {{"", 4096, 'b', 60}}, both, 0},
        {"other time, same bytes", one, {{"", 4096, 'a', 60}}, {"IMG_0001.JPG"}, 1},
        {"other size", one, {{"", 50, 'a', 0}}, both, 0},
        {"past a \"-2\" of another size", {{"IMG_0001.JPG", 4096}, {"IMG_0001-2.JPG", 11}}, {{"", 50, 'a', 0}},
         {"IMG_0001-2.JPG", "IMG_0001-3.JPG", "IMG_0001.JPG"}, 0},
        {"a folder holding the name", {{"IMG_0001.JPG", -1}}, {{"", 50, 'a', 0}}, {"IMG_0001-2.JPG", "IMG_0001.JPG/"}, 0},
        {"two pictures on one card", {}, {{"100CANON/", 4096, 'a', 0}, {"101CANON/", 4096, 'b', 60}}, both, 0},
    };
    const auto place = [](const QString& path, qint64 size, char fill, const QDateTime& time) {
        ImportFixture::write(path, size, fill);
        ImportFixture::setModified(path, time);
    };
    for (const Tool tool : {Tool::import, Tool::quickFilter}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(nameOf(tool)) + ": " + c.name);
            ImportFixture fx;
            const QString target = targetOf(tool, fx) + "/";
            for (const auto& [name, size] : c.present)
                size < 0 ? (void)QDir().mkpath(target + name) : place(target + name, size, 'a', shot);
            for (const File& file : c.card)
                place(fx.card() + "/" + file.folder + "IMG_0001.JPG", file.size, file.fill, shot.addSecs(file.secondsLater));
            const ToolEnd end = runTool(tool, fx);
            ASSERT_TRUE(end.ended);
            EXPECT_EQ(end.skipped, c.skipped);
            EXPECT_EQ(ImportFixture::tree(targetOf(tool, fx)), c.after);
            // Run again, it finds every copy, a "-2" one by its kept time.
            EXPECT_EQ(runTool(tool, fx).skipped, c.card.size());
            EXPECT_EQ(ImportFixture::tree(targetOf(tool, fx)), c.after);
            for (const auto& [name, size] : c.present) { // nothing there was changed
                QFile f(target + name);
                if (size < 0)
                    continue;
                ASSERT_TRUE(f.open(QIODevice::ReadOnly));
                EXPECT_EQ(f.readAll(), QByteArray(size, 'a')) << name.toStdString();
            }
        }
    }
}

// A completed run ends with the sound the preferences ask for.
TEST(EndSound, FollowsThePreferences)
{
    auto& defaults = UserDefaults::standard();
    struct Case { const char* name; std::function<void()> set; QList<float> played; };
    const Case cases[] = {
        {"by default", [] {}, {0.8f}},
        {"at a set volume", [&] { defaults.set("autoImportVolume", 35); }, {0.35f}},
        {"switched off", [&] { defaults.set("autoImportSound", false); }, {}},
    };
    for (const Tool tool : {Tool::import, Tool::split}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(nameOf(tool)) + ": " + c.name);
            c.set();
            ImportFixture fx;
            fx.card("a.JPG");
            EXPECT_EQ(runTool(tool, fx).sounds, c.played);
            EXPECT_EQ(fx.lines().filter("🔔").size(), tool == Tool::import ? c.played.size() : 0);
            defaults.remove("autoImportVolume");
            defaults.remove("autoImportSound");
        }
    }
}

// Cameras name HEIF pictures ".HIF": every tool takes them as photos, in any case.
TEST(HeifNamedHif, EveryToolTakesItAsAPhoto)
{
    const QStringList names = {"DSCF0001.HIF", "DSCF0002.hif", "DSCF0003.Hif"};
    for (const Tool tool : kTools) {
        SCOPED_TRACE(nameOf(tool));
        ImportFixture fx;
        for (const QString& name : names)
            fx.card(name);
        const ToolEnd end = runTool(tool, fx);
        ASSERT_TRUE(end.ended);
        EXPECT_FALSE(end.failed);
        const QString target = tool == Tool::split ? fx.card() + "/JPG" : targetOf(tool, fx);
        for (const QString& name : names)
            EXPECT_TRUE(QFileInfo(target + "/" + name).isFile()) << name.toStdString();
    }
    ImportFixture fx;
    for (const QString& name : names)
        fx.card("s/" + name);
    QuickFilterSamples samples;
    samples.merge(QuickFilterSamples::collect({fx.card() + "/s"}));
    QStringList jpgNames = samples.sampleJpgBaseNames;
    jpgNames.sort();
    EXPECT_EQ(jpgNames, QStringList({"DSCF0001", "DSCF0002", "DSCF0003"}));
}

// A run that left files behind never logs itself as done: its summary says
// unfinished, as its panel does.
TEST(FailedRuns, TheSummaryLineSaysUnfinished)
{
    const std::pair<Tool, QString> rows[] = {
        {Tool::import, "❌ [完成] 导片未完成：照片 1张，视频 0个，跳过重复 0个"},
        {Tool::split, "❌ [完成] 处理未完成：RAW 0个，JPG/HEIF 1个，跳过重复 0个"},
        {Tool::quickFilter, "❌ [快速分片] 未完成：命中 1个，跳过重复 0个，失败 1个"},
    };
    for (const auto& [tool, summary] : rows) {
        SCOPED_TRACE(nameOf(tool));
        ImportFixture fx;
        fx.card("DSC_0001.ARW");
        fx.card("DSC_0001.JPG");
        // The split moves by renaming: a file where "RAW" goes fails it; the
        // others fail their reading of the RAW file.
        if (tool == Tool::split)
            ImportFixture::write(targetOf(tool, fx));
        ReadHookScope hook([](const QString& path, qint64, qint64) { return path.endsWith(".ARW") ? EIO : 0; });
        const ToolEnd end = runTool(tool, fx);
        ASSERT_TRUE(end.ended);
        EXPECT_TRUE(end.failed);
        const QStringList lines = fx.lines();
        EXPECT_TRUE(lines.contains(summary)) << lines.join('\n').toStdString();
        for (const QString& done : {"✅ [完成] 导片完成", "✅ [完成] 处理完成", "✅ [快速分片] 完成"})
            EXPECT_TRUE(lines.filter(done).isEmpty()) << done.toStdString();
    }
}
