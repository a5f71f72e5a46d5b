#include "AutoImportTestSupport.h"

#include "platform/UserDefaults.h"
#include "tools/QuickFilterController.h"
#include "tools/SafeFileTransfer.h"
#include "tools/SplitRawJpgController.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>

namespace {

const QString kLeftover = QStringLiteral(".tessary-3fa9c01d.part");

} // namespace

// Only our own temporary names go, and only those no transfer holds: one
// of this process mid-copy, or one another process has locked.
TEST(LeftoverTemporaries, OnlyUnheldFilesOfOurNamingAreRemoved)
{
    ImportFixture fx;
    const QString dir = fx.path("out");
    struct Entry { QString name; bool removed; };
    const Entry entries[] = {
        {kLeftover, true},
        {".tessary-0.part", true},
        {".tessary-3FA9.part", false},        // not our digits
        {".tessary-12345678901234567.part", false}, // too long
        {".tessary-abc.part.JPG", false},
        {"tessary-abc.part", false},
        {"IMG_0001.JPG", false},
    };
    for (const Entry& e : entries)
        ImportFixture::write(dir + "/" + e.name);
    QDir().mkpath(dir + "/.tessary-cafe.part");            // a folder is never ours

    // Another process's transfer keeps its file locked while it writes.
    ImportFixture::write(dir + "/.tessary-feed.part");
    const int other = ::open(QFile::encodeName(dir + "/.tessary-feed.part").constData(), O_RDONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);

    // A copy of this process is held half way through.
    fx.card("big.JPG", 2 * SafeFileTransfer::kBufferSize);
    QSemaphore reached, proceed;
    ReadHookScope hook([&](const QString&, qint64 at, qint64) {
        if (at == SafeFileTransfer::kBufferSize) {
            reached.release();
            proceed.acquire();
        }
        return 0;
    });
    SafeFileTransfer::Result copied;
    QThread* copier = QThread::create([&] { copied = SafeFileTransfer::copy(fx.card() + "/big.JPG", dir, "big.JPG"); });
    copier->start();
    reached.acquire();
    const QStringList during = ImportFixture::tree(dir);

    EXPECT_EQ(SafeFileTransfer::removeLeftovers(dir), 2);
    proceed.release();
    copier->wait();
    delete copier;
    ::close(other);

    EXPECT_TRUE(copied.ok) << copied.error.toStdString();
    const QStringList after = ImportFixture::tree(dir);
    for (const Entry& e : entries)
        EXPECT_EQ(after.contains(e.name), !e.removed) << e.name.toStdString();
    EXPECT_TRUE(after.contains(".tessary-cafe.part/"));
    EXPECT_TRUE(after.contains(".tessary-feed.part"));
    EXPECT_TRUE(after.contains("big.JPG"));
    // The held copy's own temporary file was there during the sweep and is
    // now its finished picture.
    EXPECT_EQ(during.filter(QRegularExpression("^\\.tessary-[0-9a-f]{1,16}\\.part$")).size(), 4) << during.join(' ').toStdString();
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
