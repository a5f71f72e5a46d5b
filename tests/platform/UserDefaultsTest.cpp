#include "Corruptions.h"
#include "PlatformTestFiles.h"

#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "platform/UserDefaultsFile.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>

#include <atomic>
#include <functional>
#include <csignal>
#include <thread>

#include <sys/resource.h>

using namespace PlatformTestFiles;

namespace {

class UserDefaultsTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path() const { return dir.path() + "/defaults.json"; }
};

TEST_F(UserDefaultsTest, EveryTypeSurvivesARestart)
{
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(1790000000123, Qt::UTC);
    const QByteArray binary("\x00\xff\xfe bytes", 9);
    const QByteArray json = R"([{"id":"A"}])";
    const QVariantMap nested{{"n", qint64(7)}, {"list", QVariantList{1.5, "x", true}}};
    {
        UserDefaults d(path());
        d.set("text", "摄影师");
        d.set("int", qint64(9007199254740993LL));
        d.set("double", 0.1);
        d.set("bool", true);
        d.set("date", when);
        d.set("bytes", binary);
        d.set("json", json);
        d.set("url", QUrl("file:///media/card/DCIM"));
        d.set("list", QVariantList{qint64(1), "two", 3.0});
        d.set("dict", nested);
    }
    UserDefaults d(path());
    EXPECT_EQ(d.string("text"), QString("摄影师"));
    EXPECT_EQ(d.integer("int"), 9007199254740993LL);
    EXPECT_DOUBLE_EQ(d.doubleValue("double"), 0.1);
    EXPECT_TRUE(d.boolean("bool"));
    EXPECT_EQ(d.date("date"), when);
    EXPECT_EQ(d.data("bytes"), binary);
    EXPECT_EQ(d.data("json"), json);
    EXPECT_EQ(d.url("url"), QUrl("file:///media/card/DCIM"));
    EXPECT_EQ(d.array("list"), (QVariantList{qint64(1), "two", 3.0}));
    EXPECT_EQ(d.dictionary("dict"), nested);
    EXPECT_EQ(d.object("int").typeId(), QMetaType::LongLong);
    EXPECT_EQ(d.object("double").typeId(), QMetaType::Double);
}

TEST_F(UserDefaultsTest, CoercionFollowsTheFirstPlatform)
{
    UserDefaults d(path());
    d.set("one", 1);
    d.set("zero", 0);
    d.set("yes", true);
    d.set("integralDouble", 42.0);
    d.set("fraction", 2.9);
    d.set("numberText", "17");
    d.set("word", "hello");

    EXPECT_TRUE(d.boolean("one"));
    EXPECT_FALSE(d.boolean("zero"));
    EXPECT_EQ(d.integer("yes"), 1);
    EXPECT_EQ(d.integer("integralDouble"), 42);
    EXPECT_EQ(d.integer("fraction"), 2);
    EXPECT_DOUBLE_EQ(d.doubleValue("one"), 1.0);
    EXPECT_EQ(d.integer("numberText"), 17);
    EXPECT_EQ(d.integer("word"), 0);
    EXPECT_FALSE(d.boolean("word"));
    for (const auto& [text, expected] : {std::pair{"YES", true}, {" true ", true}, {"1", true}, {"no", false}}) {
        d.set("flag", QString::fromUtf8(text));
        EXPECT_EQ(d.boolean("flag"), expected) << text;
    }

    // Absent keys: 0 / false / no value.
    EXPECT_EQ(d.integer("missing"), 0);
    EXPECT_FALSE(d.boolean("missing"));
    EXPECT_FALSE(d.string("missing").has_value());
    EXPECT_FALSE(d.object("missing").isValid());
    // A number read as text, a text is not a list.
    EXPECT_EQ(d.string("one"), QString("1"));
    EXPECT_FALSE(d.array("word").has_value());
}

// Runs `write` with files limited to 4 KiB: a full disk part-way through a write.
bool withSmallFileLimit(const std::function<bool()>& write)
{
    struct rlimit old {};
    if (::getrlimit(RLIMIT_FSIZE, &old) != 0)
        return true;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool wrote = write();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    return wrote;
}

TEST_F(UserDefaultsTest, AWriteCutShortIsReportedAndLeavesThePreviousFile)
{
    UserDefaults(path()).set("orders", QByteArray(R"([{"id":"A"}])"));
    const QByteArray before = read(path());
    UserDefaults d(path());
    const bool wrote = withSmallFileLimit([&] {
        return d.setValues({{"orders", QByteArray(100 * 1024, 'x')}, {"rest", QVariantList{"2026-01-01"}}});
    });

    EXPECT_FALSE(wrote || d.lastWriteSucceeded());
    EXPECT_EQ(d.data("orders"), QByteArray(R"([{"id":"A"}])"));
    EXPECT_EQ(read(path()), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"defaults.json"});
}

// The one-pass text must be the general encoder's, byte for byte, or absent.
TEST_F(UserDefaultsTest, FastTextMatchesTheGeneralEncoder)
{
    const QByteArrayList pool{"a", "\"", "\\", "/", "\n", "\x7f", "摄", "é", "🎞", "\xef\xbb\xbf", "\xed\xa0\x80",
                              "\xe6\x91", "\xef\xbf\xbf", "\xc0\xaf", "\xf4\x90\x80\x80", "\xff"};
    QRandomGenerator rng(29);
    int fast = 0;
    for (int i = 0; i < 3000; ++i) {
        QByteArray b;
        for (int n = rng.bounded(1, 8); n > 0; --n)
            b += pool[rng.bounded(int(pool.size()))];
        if (const auto text = UserDefaults::fastEncodedText(b)) {
            ++fast;
            EXPECT_EQ(*text, UserDefaults::encodedText(b)) << b.toHex().constData();
        }
    }
    EXPECT_GT(fast, 100);
    // An edit reuses the text of the ends it shares with the bytes before it.
    const QByteArrayList plain{"a", "\"", "\\", "/", "摄", "é", "🎞"};
    int edited = 0;
    for (int i = 0; i < 3000; ++i) {
        QByteArray before;
        for (int n = rng.bounded(1, 12); n > 0; --n)
            before += plain[rng.bounded(int(plain.size()))];
        const auto beforeText = UserDefaults::fastEncodedText(before);
        if (!beforeText)
            continue;
        QByteArray after = before;
        const int at = rng.bounded(int(after.size()) + 1);
        after.remove(at, rng.bounded(3));
        after.insert(std::min<qsizetype>(at, after.size()), pool[rng.bounded(int(pool.size()))]);
        const auto text = UserDefaultsFile::editedPlainText(before, *beforeText, after);
        edited += text ? 1 : 0;
        EXPECT_EQ(text, UserDefaults::fastEncodedText(after)) << before.toHex().constData() << " to "
                                                               << after.toHex().constData();
    }
    EXPECT_GT(edited, 300);
    const QByteArray orders = R"([{"name":"陈\"五\" 🎞","note":"a\\b"}])";
    UserDefaults(path()).set("orders", orders);
    UserDefaults(path()).set("other", 1);
    EXPECT_TRUE(read(path()).startsWith("{\n  \"orders\": " + *UserDefaults::encodedText(orders) + ",\n"));
}

// A list handed over as pieces is stored as its joined bytes would be: the
// same file, byte for byte, through edits that reuse some pieces' text.
TEST_F(UserDefaultsTest, PiecesAreStoredAsTheirJoinedBytes)
{
    const QString reference = dir.path() + "/reference.json";
    UserDefaults d(path());
    UserDefaults r(reference);
    for (UserDefaults* store : {&d, &r})
        store->setValues({{"a", 1}, {"z", QString("陈\"五\" \\ 🎞")}});
    auto item = [](const QString& name) {
        return QString(R"({"name":"%1","note":"a\\b 摄"})").arg(name).toUtf8();
    };
    QList<QByteArray> items;
    for (int i = 0; i < 8; ++i)
        items << item(QString("客%1 \"引\"").arg(i));
    const struct
    {
        const char* what;
        std::function<void()> change;
        const char* separator = ",";
    } steps[] = {
        {"first", [] {}},
        {"append", [&] { items << item("新"); }},
        {"edit", [&] { items[2] = item("改"); }},
        {"delete one", [&] { items.removeAt(1); }},
        {"delete several", [&] { items.remove(2, 3); }},
        {"reorder", [&] { std::reverse(items.begin(), items.end()); }},
        {"a control character", [&] { items[0] = "{\"note\":\"line\nbreak\"}"; }},
        {"plain again", [&] { items[0] = item("回"); }},
        {"another separator", [] {}, ", "},
        {"empty", [&] { items.clear(); }},
    };
    for (const auto& step : steps) {
        step.change();
        const UserDefaults::Pieces pieces{"[", items, step.separator, "]"};
        const QByteArray joined = pieces.joined();
        ASSERT_TRUE(d.set("orders", QVariant::fromValue(pieces))) << step.what;
        r.set("orders", joined);
        EXPECT_EQ(read(path()), read(reference)) << step.what;
        EXPECT_EQ(d.data("orders"), joined) << step.what;
        EXPECT_EQ(d.dictionaryRepresentation().value("orders"), joined) << step.what;
        EXPECT_TRUE(d.holds("orders", pieces) && r.holds("orders", pieces)) << step.what;
        EXPECT_TRUE(d.holds("orders", {"", {joined}, "", ""})) << step.what;
        EXPECT_EQ(UserDefaults(path()).data("orders"), joined) << step.what;
    }
    items = {item("甲"), item("乙")};
    const UserDefaults::Pieces pieces{"[", items, ",", "]"};
    d.set("orders", QVariant::fromValue(pieces));
    EXPECT_FALSE(d.holds("orders", {"[", {item("甲"), item("丙")}, ",", "]"})) << "same size, other bytes";
    EXPECT_FALSE(d.holds("orders", {"[", {item("甲")}, ",", "]"}));
    EXPECT_FALSE(d.holds("a", pieces));

    // A refused write keeps the old file and value; the next one is whole.
    const QByteArray before = read(path());
    items << QByteArray(100 * 1024, 'x');
    EXPECT_FALSE(withSmallFileLimit([&] {
        return d.set("orders", QVariant::fromValue(UserDefaults::Pieces{"[", items, ",", "]"}));
    }));
    EXPECT_EQ(read(path()), before);
    EXPECT_TRUE(d.holds("orders", pieces));
    items[0] = item("丁");
    const UserDefaults::Pieces after{"[", items, ",", "]"};
    ASSERT_TRUE(d.set("orders", QVariant::fromValue(after)));
    r.set("orders", after.joined());
    EXPECT_EQ(read(path()), read(reference));
}

// The one-pass reader reads what the general one reads or leaves the file to
// it: never another value or text, never a file the general one refuses.
TEST_F(UserDefaultsTest, OnePassReaderAgreesWithTheGeneralOneOnGoodAndDamagedFiles)
{
    {
        UserDefaults d(path());
        d.set("orders", QByteArray(R"([{"name":"陈\"五\" 🎞","note":"a\\b/c"}],)").repeated(40));
        d.set("escaped", QByteArray("line\nbreak"));
        d.set("binary", QByteArray("\xff\x00", 2));
        d.set("text", "摄影 \"quoted\"");
        d.set("flag", true);
        d.set("count", 7);
        d.set("ratio", 0.5);
        d.set("when", QDateTime(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC));
        d.set("site", QUrl("https://example.com/a b"));
        d.set("nested", QVariantList{1, "a", QVariantMap{{"k", QByteArray("v")}}});
    }
    const QByteArray good = read(path());
    const auto general = UserDefaults::readGeneral(good);
    ASSERT_TRUE(general);
    EXPECT_TRUE(UserDefaults::readFast(good) == general);
    EXPECT_EQ(general->values.value("orders").toByteArray().count("陈"), 40);

    int fast = 0;
    int refused = 0;
    QByteArrayList disagreeing;
    for (const QByteArray& bad : corruptions(good, 4000, 29)) {
        const auto slow = UserDefaults::readGeneral(bad);
        refused += slow ? 0 : 1;
        if (const auto quick = UserDefaults::readFast(bad)) {
            ++fast;
            if (!(quick == slow))
                disagreeing.append(bad);
        }
    }
    EXPECT_TRUE(disagreeing.isEmpty()) << disagreeing.size() << " like " << disagreeing.value(0).constData();
    EXPECT_GT(fast, 800);
    EXPECT_GT(refused, 800);
}

TEST_F(UserDefaultsTest, RegisteredDefaultsAreSeenUntilAValueIsStored)
{
    UserDefaults d(path());
    QSignalSpy spy(&d, &UserDefaults::changed);
    d.registerDefaults({{"autoCheckUpdate", true}, {"ftpPort", 2121}});
    EXPECT_TRUE(d.boolean("autoCheckUpdate"));
    EXPECT_EQ(d.integer("ftpPort"), 2121);
    EXPECT_FALSE(d.hasStoredValue("ftpPort"));

    d.set("ftpPort", 2222);
    EXPECT_EQ(d.integer("ftpPort"), 2222);
    d.remove("ftpPort");
    EXPECT_EQ(d.integer("ftpPort"), 2121);
    EXPECT_FALSE(d.dictionaryRepresentation().contains("autoCheckUpdate"));
    EXPECT_GE(spy.count(), 3);
}

TEST_F(UserDefaultsTest, UnstorableValuesChangeNothing)
{
    UserDefaults d(path());
    d.set("amount", 10.0);
    EXPECT_FALSE(d.set("amount", std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(d.set("list", QVariantList{std::nan("")}));
    EXPECT_DOUBLE_EQ(d.doubleValue("amount"), 10.0);
    EXPECT_FALSE(d.hasStoredValue("list"));
}

TEST_F(UserDefaultsTest, ATornFileIsKeptAsideAndTheStoreStartsEmpty)
{
    {
        UserDefaults d(path());
        d.set("big", QString(200000, QChar('x')));
        d.set("keep", "me");
    }
    // Simulate a crash that tore the file half-way.
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const QByteArray whole = f.readAll();
    f.resize(whole.size() / 2);
    f.close();

    QStringList lines;
    auto old = Log::setSink([&](const QString& l) { lines << l; });
    UserDefaults d(path());
    Log::setSink(old);
    EXPECT_FALSE(d.hasStoredValue("keep"));
    EXPECT_EQ(lines.size(), 1);
    const QByteArrayList torn{whole.left(whole.size() / 2)};
    EXPECT_EQ(asideCopies(dir.path(), "defaults.json.unreadable-*"), torn);

    // The next write makes a fresh file and leaves the kept copy alone.
    d.set("fresh", 1);
    EXPECT_EQ(asideCopies(dir.path(), "defaults.json.unreadable-*"), torn);
    EXPECT_EQ(UserDefaults(path()).integer("fresh"), 1);
}

TEST_F(UserDefaultsTest, ConcurrentReadersAndWritersSeeWholeValues)
{
    UserDefaults d(path());
    d.set("counter", 0);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&] {
            while (!stop) {
                const auto list = d.array("pair").value_or(QVariantList{0, 0});
                if (list.size() != 2 || list[0] != list[1])
                    ++torn;
                (void)d.integer("counter");
            }
        });
    }
    std::thread writer([&] {
        for (int i = 0; i < 200; ++i) {
            d.set("pair", QVariantList{i, i});
            d.set("counter", i);
        }
    });
    writer.join();
    stop = true;
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(UserDefaults(path()).integer("counter"), 199);
}

}
