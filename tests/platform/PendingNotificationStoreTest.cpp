#include "PlatformTestFiles.h"

#include "platform/PendingNotificationStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

QByteArray request(const char* id, const char* body = "b")
{
    return QByteArray(R"({"identifier": ")") + id + R"(", "body": ")" + body
        + R"(", "trigger": {"year": 2030, "month": 1, "day": 2, "hour": 3, "minute": 4}})";
}

UserNotificationRequest pending(const QString& identifier)
{
    UserNotificationRequest r;
    r.identifier = identifier;
    r.trigger = {2030, 1, 2, 3, 4};
    return r;
}

struct ReadCase {
    const char* name;
    QByteArray text;
    QStringList identifiers;
    bool unreadable = false;
};

}

// A change that would grow the list past what a read accepts fails and
// leaves the list as it was, instead of a file the next read sets aside.
TEST(PendingNotificationStoreTest, AListTooLongToReadBackIsNotWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("pending.json");
    PendingNotificationStore store(path);
    const UserNotificationRequest small = pending("small");
    ASSERT_TRUE(store.update([&](PendingNotificationStore::Requests& list) { list.append(small); }));
    QString error;
    const auto grown = store.update(
        [&](PendingNotificationStore::Requests& list) {
            for (int i = 0; i < 17; ++i) {
                UserNotificationRequest big = small;
                big.identifier = QString::number(i);
                big.body = QString(1024 * 1024, QLatin1Char('x'));
                list.append(big);
            }
        },
        &error);
    EXPECT_FALSE(grown);
    EXPECT_TRUE(error.contains("16 MB")) << error.toStdString();
    EXPECT_EQ(store.read(), PendingNotificationStore::Requests{small});
    EXPECT_EQ(PlatformTestFiles::asideCopies(dir.path(), "pending.json.corrupt-*"), QByteArrayList{});
}

// Lists are read a request at a time; whatever that reading does not know
// must come out as a whole-document read would have it.
TEST(PendingNotificationStoreTest, ListsReadAsTheirJsonSays)
{
    const QByteArray a = request("a"), b = request("b");
    const QList<ReadCase> cases = {
        {"version first, no spacing", "{\"version\":1,\"requests\":[" + a + "," + b + "]}", {"a", "b"}},
        {"brackets and quotes in text", "{\"requests\": [" + request("a", R"(}]{\"\\ \")") + "]}", {"a"}},
        {"empty list", "{\n  \"requests\": [ ],\n  \"version\": 1\n}\n", {}},
        {"first of an identifier wins", "{\"requests\": [" + a + ", " + request("a", "x") + "]}", {"a"}},
        {"an entry that is no request", "{\"requests\": [1, " + b + "], \"version\": 1}", {"b"}},
        {"cut off", "{\"requests\": [" + a + ", " + b.left(30), {}, true},
        {"bad text between requests", "{\"requests\": [" + a + " x, " + b + "]}", {}, true},
        {"bad version", "{\"requests\": [" + a + "], \"version\": 01}", {}, true},
        {"text after the list", "{\"requests\": [" + a + "]}\n}", {}, true},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("pending.json");
        PlatformTestFiles::rewriteInPlace(path, c.text);
        QStringList read;
        for (const UserNotificationRequest& r : PendingNotificationStore(path).read())
            read << r.identifier;
        EXPECT_EQ(read, c.identifiers);
        // An unreadable list is kept aside, byte for byte.
        EXPECT_EQ(PlatformTestFiles::asideCopies(dir.path(), "pending.json.corrupt-*"),
                  c.unreadable ? QByteArrayList{c.text} : QByteArrayList{});
    }
}

// A list known from the last read or write is used again only while the file
// is the same: a change by the other process, or an edit in place of the same
// size, is read.
TEST(PendingNotificationStoreTest, AListIsReadAgainWhenTheFileChanged)
{
    struct Case {
        const char* name;
        std::function<void(const QString& path)> change;
        QStringList identifiers;
    };
    const QList<Case> cases = {
        {"nothing", [](const QString&) {}, {"a"}},
        {"the other process adds",
         [](const QString& path) {
             PendingNotificationStore other(path);
             other.update([](PendingNotificationStore::Requests& list) { list.append(pending("b")); });
         },
         {"a", "b"}},
        {"an edit in place",
         [](const QString& path) {
             // Later than the file system's clock step, as a person edits.
             QThread::msleep(50);
             QFile f(path);
             ASSERT_TRUE(f.open(QIODevice::ReadOnly));
             QByteArray text = f.readAll();
             f.close();
             text.replace("\"a\"", "\"c\"");
             PlatformTestFiles::rewriteInPlace(path, text);
         },
         {"c"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("pending.json");
        PendingNotificationStore store(path);
        ASSERT_TRUE(store.update([](PendingNotificationStore::Requests& list) { list.append(pending("a")); }));
        c.change(path);
        QStringList read;
        for (const UserNotificationRequest& r : store.read())
            read << r.identifier;
        EXPECT_EQ(read, c.identifiers);
    }
}
