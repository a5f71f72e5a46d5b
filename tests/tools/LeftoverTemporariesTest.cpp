#include "AutoImportTestSupport.h"

#include "platform/UserDefaults.h"
#include "tools/QuickFilterController.h"
#include "tools/SafeFileTransfer.h"
#include "tools/SplitRawJpgController.h"

#include <gtest/gtest.h>

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
    struct Row
    {
        const char* name;
        std::function<QString(ImportFixture&)> target; // the folder the run writes to
        std::function<bool(ImportFixture&)> run;
    };
    const Row rows[] = {
        {"import", [](ImportFixture& fx) { return fx.photos(); },
         [](ImportFixture& fx) {
             AutoImportController c;
             c.setDateProvider([] { return kDay; });
             c.setDesktopPath(fx.desktop());
             c.setSoundPlayer([](float) {});
             return waitForEnd(c, [&] { c.processFolder(fx.card()); });
         }},
        {"split", [](ImportFixture& fx) { return fx.card() + "/RAW"; },
         [](ImportFixture& fx) {
             SplitRawJpgController c;
             c.setSoundPlayer([](float) {});
             return waitForEnd(c, [&] { c.processFolder(fx.card()); });
         }},
        {"quick filter", [](ImportFixture& fx) { return fx.path("快速分片_3.7"); },
         [](ImportFixture& fx) {
             QuickFilterController c;
             c.setDateProvider([] { return kDay; });
             c.setSoundPlayer([](float) {});
             return waitForEnd(c, [&] { c.startExport(fx.card(), {"DSC_0001"}, QuickFilterEngine::Mode::copy); });
         }},
    };
    for (const Row& row : rows) {
        ImportFixture fx;
        fx.card("DSC_0001.ARW");
        fx.card("DSC_0001.JPG");
        ImportFixture::write(row.target(fx) + "/" + kLeftover);
        ImportFixture::write(fx.path("elsewhere/") + kLeftover);
        ASSERT_TRUE(row.run(fx)) << row.name;
        EXPECT_FALSE(QFileInfo::exists(row.target(fx) + "/" + kLeftover)) << row.name;
        EXPECT_TRUE(QFileInfo::exists(fx.path("elsewhere/") + kLeftover)) << row.name;
        EXPECT_TRUE(QFileInfo(row.target(fx) + "/DSC_0001.ARW").isFile()) << row.name;
    }
}
