#include "PlatformTestFiles.h"
#include "SaveFaults.h"

#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

#include <cerrno>
#include <sys/stat.h>

using namespace PlatformTestFiles;

namespace {

class AtomicSaveTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path(const QString& name = "file.json") const { return dir.path() + "/" + name; }
    QStringList everything() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    static int modeOf(const QString& file)
    {
        struct stat st {};
        return ::lstat(QFile::encodeName(file).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    }
};

QList<QByteArrayView> viewsOf(const QByteArrayList& pieces)
{
    return {pieces.begin(), pieces.end()};
}

// Whatever step fails, the old file stays byte for byte, no temporary file
// is left behind and the cause comes back in words.
TEST_F(AtomicSaveTest, AFailedStepLeavesTheOldFileAndNamesTheCause)
{
    struct Case
    {
        Paths::SaveStep step;
        int nth;
        int error;
        const char* cause;
    };
    const Case cases[] = {
        {Paths::SaveStep::Write, 1, ENOSPC, "磁盘空间不足"},
        {Paths::SaveStep::Write, 3, EIO, "磁盘读写出错（I/O 错误）"},
        {Paths::SaveStep::Sync, 1, EIO, "磁盘读写出错（I/O 错误）"},
        {Paths::SaveStep::Sync, 1, EDQUOT, "磁盘配额已用完"},
        {Paths::SaveStep::Close, 1, ENOSPC, "磁盘空间不足"},
        {Paths::SaveStep::Rename, 1, EACCES, "没有写入权限"},
        {Paths::SaveStep::Rename, 1, EROFS, "磁盘是只读的"},
    };
    const QByteArray old = "old contents\n";
    QByteArrayList pieces;
    for (int i = 0; i < 3000; ++i)
        pieces << QByteArray::number(i) + ",";
    for (const Case& c : cases) {
        rewriteInPlace(path(), old);
        // Short writes of 1 KiB make several writes of one save.
        Paths::setSaveHook([&, seen = 0](Paths::SaveStep s, qsizetype& bytes) mutable {
            if (s == Paths::SaveStep::Write)
                bytes = std::min<qsizetype>(bytes, 1024);
            return s == c.step && ++seen == c.nth ? c.error : 0;
        });
        const QString cause = Paths::saveAtomically(path(), viewsOf(pieces));
        Paths::setSaveHook({});
        EXPECT_EQ(cause, QString::fromUtf8(c.cause)) << int(c.step) << " " << c.nth;
        EXPECT_EQ(read(path()), old) << int(c.step);
        EXPECT_EQ(everything(), QStringList{"file.json"}) << int(c.step);
    }
}

// Short writes and interrupted calls are carried on from where they stopped,
// over more pieces than one call takes.
TEST_F(AtomicSaveTest, ShortAndInterruptedWritesStillWriteEveryPiece)
{
    QByteArrayList pieces;
    QByteArray whole;
    for (int i = 0; i < 2500; ++i) {
        pieces << (i % 7 ? QByteArray::number(i * 31) + ";" : QByteArray());
        whole += pieces.back();
    }
    for (const qsizetype limit : {qsizetype(1), qsizetype(5), qsizetype(4096), qsizetype(1) << 40}) {
        int calls = 0;
        Paths::setSaveHook([&](Paths::SaveStep, qsizetype& bytes) {
            bytes = std::min(bytes, limit);
            return ++calls % 3 == 0 ? EINTR : 0;
        });
        const QString cause = Paths::saveAtomically(path(), viewsOf(pieces));
        Paths::setSaveHook({});
        EXPECT_TRUE(cause.isEmpty()) << cause.toStdString();
        EXPECT_EQ(read(path()), whole) << limit;
    }
    EXPECT_EQ(everything(), QStringList{"file.json"});
}

// A replaced file keeps its mode unless one is asked for; a link keeps
// pointing where it did and its target gets the bytes.
TEST_F(AtomicSaveTest, ModesAndLinksSurviveAReplace)
{
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    rewriteInPlace(path("kept.txt"), "a");
    ::chmod(QFile::encodeName(path("kept.txt")).constData(), 0640);
    rewriteInPlace(path("tightened.txt"), "a");
    ::chmod(QFile::encodeName(path("tightened.txt")).constData(), 0644);
    rewriteInPlace(path("target.txt"), "a");
    QFile::link(path("target.txt"), path("link.txt"));

    EXPECT_EQ(Paths::saveAtomically(path("kept.txt"), QByteArrayView("b")), "");
    EXPECT_EQ(Paths::saveAtomically(path("tightened.txt"), QByteArrayView("b"), {.permissions = owner}), "");
    EXPECT_EQ(Paths::saveAtomically(path("new.txt"), QByteArrayView("b"), {.permissions = owner}), "");
    EXPECT_EQ(Paths::saveAtomically(path("link.txt"), QByteArrayView("b")), "");
    EXPECT_EQ(modeOf(path("kept.txt")), 0640);
    EXPECT_EQ(modeOf(path("tightened.txt")), 0600);
    EXPECT_EQ(modeOf(path("new.txt")), 0600);
    EXPECT_TRUE(QFileInfo(path("link.txt")).isSymLink());
    EXPECT_EQ(read(path("target.txt")), "b");
    EXPECT_EQ(Paths::saveAtomically(dir.path() + "/gone/x.txt", QByteArrayView("b"), {.makeFolder = false}),
              "文件夹不存在");
}

// Every errno reads as words, never the C library's "Unknown error".
TEST(AtomicSaveErrorText, EveryErrorHasWords)
{
    for (int e = 1; e < 200; ++e) {
        const QString text = Paths::errorText(e);
        EXPECT_FALSE(text.isEmpty()) << e;
        EXPECT_FALSE(text.contains("Unknown", Qt::CaseInsensitive)) << e;
    }
    EXPECT_EQ(Paths::errorText(ENOSPC), "磁盘空间不足");
}

// The settings file holds every customer's name and phone: owner only, and a
// change that cannot be written is undone, said and not announced as made.
TEST_F(AtomicSaveTest, SettingsFileIsPrivateAndAFailedChangeIsUndone)
{
    rewriteInPlace(path("defaults.json"), "{}");
    ::chmod(QFile::encodeName(path("defaults.json")).constData(), 0644);
    UserDefaults d(path("defaults.json"));
    ASSERT_TRUE(d.set("name", "王女士"));
    EXPECT_EQ(modeOf(path("defaults.json")), 0600);
    const QByteArray before = read(path("defaults.json"));

    QSignalSpy changed(&d, &UserDefaults::changed);
    QSignalSpy failed(&d, &UserDefaults::writeFailed);
    struct Change
    {
        const char* what;
        std::function<bool()> make;
    };
    const Change changes[] = {
        {"set", [&] { return d.set("name", "李先生"); }},
        {"set new", [&] { return d.set("phone", "13800138000"); }},
        {"remove", [&] { return d.remove("name"); }},
        {"setValues", [&] { return d.setValues({{"name", "张三"}, {"flag", true}}); }},
    };
    for (const Change& c : changes) {
        SaveFaults::Fail fail(Paths::SaveStep::Sync, 1, ENOSPC);
        EXPECT_FALSE(c.make()) << c.what;
        EXPECT_EQ(d.string("name"), QString("王女士")) << c.what;
        EXPECT_FALSE(d.hasStoredValue("phone") || d.hasStoredValue("flag")) << c.what;
        EXPECT_EQ(d.lastWriteError(), "磁盘空间不足") << c.what;
        EXPECT_EQ(read(path("defaults.json")), before) << c.what;
    }
    EXPECT_EQ(changed.size(), 0);
    ASSERT_EQ(failed.size(), 4);
    EXPECT_EQ(failed.at(0).at(0).toString(), "磁盘空间不足");
    EXPECT_TRUE(d.set("name", "李先生"));
    EXPECT_TRUE(d.lastWriteSucceeded());
}

// A real full disk: the settings file is left as it was.
TEST_F(AtomicSaveTest, AFullDiskLeavesTheSettingsFile)
{
    const QString folder = dir.path() + "/small";
    {
        UserDefaults d(folder + "/defaults.json");
        d.set("orders", QByteArray(200 * 1024, 'o'));
    }
    const QByteArray before = read(folder + "/defaults.json");
    SaveFaults::FullDisk full(folder);
    if (!full.mounted())
        GTEST_SKIP() << full.skipReason().toStdString();
    UserDefaults d(folder + "/defaults.json");
    EXPECT_FALSE(d.set("flag", true));
    EXPECT_EQ(d.lastWriteError(), "磁盘空间不足");
    EXPECT_EQ(read(folder + "/defaults.json"), before);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), (QStringList{".fill", "defaults.json"}));
}

}
