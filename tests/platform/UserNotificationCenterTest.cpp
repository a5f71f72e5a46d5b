#include "NotificationTestBus.h"
#include "PlatformTestFiles.h"

#include "platform/Log.h"
#include "platform/PendingNotificationStore.h"
#include "platform/UserNotificationCenter.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace PlatformTestFiles;

namespace {

QString storeFile()
{
    return TestEnv::dataHome() + "/Kelvara/pending_notifications.json";
}

// A clock that runs from `start` at real speed.
UserNotificationCenter::Clock clockFrom(const QDateTime& start)
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [start, timer] { return start.addMSecs(timer->elapsed()); };
}

// A centre on the test's store, on the session bus, its clock from `start`.
struct Centre : UserNotificationCenter {
    explicit Centre(const QDateTime& start) : UserNotificationCenter(storeFile()) { setClock(clockFrom(start)); }
};

UserNotificationRequest shootReminder(const QString& id, const QDateTime& when)
{
    UserNotificationRequest r;
    r.identifier = id;
    r.title = "拍摄档期提醒";
    r.subtitle = "张三 · 婚纱";
    r.body = "拍摄时间：2027-03-10 14:00";
    r.trigger = UserNotificationTrigger::matching(when);
    return r;
}

// The first value `call` hands its completion; the context it gets lives for the wait only.
template <class T, class Call>
std::optional<T> answerOf(Call call, int ms = 2000)
{
    std::optional<T> result;
    QObject context;
    call(&context, [&](const auto& first, const auto&...) { result = first; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, ms));
    return result;
}

QString addAndWait(UserNotificationCenter& center, const UserNotificationRequest& r)
{
    return answerOf<QString>([&](QObject* context, auto done) { center.add(r, context, done); }).value_or("no answer");
}

// The log's lines while it lives.
struct LogLines {
    QStringList lines;
    LogLines() { Log::setSink([this](const QString& line) { lines << line; }); }
    ~LogLines() { Log::setSink({}); }
    bool waitForOne(int ms = 6000) { return QTest::qWaitFor([&] { return !lines.isEmpty(); }, ms); }
};

const QDateTime kDue(QDate(2027, 3, 3), QTime(10, 0));

}

TEST(UserNotificationCenterTest, ADueRequestIsShownThroughTheNotificationService)
{
    // The bus named by the variable, and without it the one at its well-known place.
    for (const bool exported : {true, false}) {
        SCOPED_TRACE(exported ? "bus from DBUS_SESSION_BUS_ADDRESS" : "bus at $XDG_RUNTIME_DIR/bus");
        NotificationTestBus bus(exported ? NotificationTestBus::inTestFolder() : "unix:path=" + TestEnv::root() + "/runtime/bus",
                                exported);
        ASSERT_EQ(qgetenv("DBUS_SESSION_BUS_ADDRESS").isEmpty(), !exported);
        NotificationTestService& service = bus.startService();
        Centre center(kDue.addMSecs(-300));
        QSignalSpy delivered(&center, &UserNotificationCenter::delivered);

        ASSERT_EQ(addAndWait(center, shootReminder("order_A_reminder_0", kDue)), "");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !service.calls.isEmpty(); }, 3000));
        ASSERT_EQ(service.calls.size(), 1);
        const NotificationTestService::Call& call = service.calls.first();
        EXPECT_EQ(call.summary, "拍摄档期提醒");
        EXPECT_EQ(call.body, "张三 · 婚纱\n拍摄时间：2027-03-10 14:00");
        EXPECT_EQ(call.hints.value("sound-name").toString(), "message-new-instant");
        EXPECT_EQ(call.hints.value("urgency").toInt(), 1);
        EXPECT_EQ(call.hints.value("desktop-entry").toString(), "tessary");
        EXPECT_EQ(call.expireTimeout, -1);

        EXPECT_TRUE(QTest::qWaitFor([&] { return delivered.count() == 1; }, 2000));
        EXPECT_TRUE(center.pendingRequests().isEmpty());
        ASSERT_TRUE(QFile::exists(storeFile()));
        EXPECT_FALSE(read(storeFile()).contains("order_A_reminder_0"));
    }
}

TEST(UserNotificationCenterTest, PendingRequestsSurviveARestartAndReplaceByIdentifier)
{
    {
        Centre center(kDue.addDays(-7));
        ASSERT_EQ(addAndWait(center, shootReminder("order_A_reminder_0", kDue)), "");
        ASSERT_EQ(addAndWait(center, shootReminder("order_A_reminder_1", kDue.addDays(1))), "");
        UserNotificationRequest replacement = shootReminder("order_A_reminder_0", kDue.addSecs(3600));
        replacement.subtitle = "张三 · ";
        ASSERT_EQ(addAndWait(center, replacement), "");
        ASSERT_EQ(center.pendingRequests().size(), 2);
    }

    const QJsonObject stored = QJsonDocument::fromJson(read(storeFile())).object();
    // Written a request at a time, yet the very text of the whole document.
    EXPECT_EQ(read(storeFile()), QJsonDocument(stored).toJson());
    const QJsonObject first = stored.value("requests").toArray().first().toObject();
    EXPECT_EQ(first.value("identifier").toString(), "order_A_reminder_0");
    EXPECT_EQ(first.value("subtitle").toString(), "张三 · ");
    EXPECT_EQ(first.value("sound").toString(), "default");
    EXPECT_EQ(first.value("trigger").toObject().value("hour").toInt(), 11);
    EXPECT_EQ(first.value("trigger").toObject().value("repeats").toBool(true), false);

    Centre restarted(kDue.addDays(-7));
    const auto pending = answerOf<QList<UserNotificationRequest>>(
        [&](QObject* context, auto done) { restarted.getPendingNotificationRequests(context, done); });
    ASSERT_TRUE(pending.has_value());
    ASSERT_EQ(pending->size(), 2);
    EXPECT_EQ(pending->at(0).trigger, UserNotificationTrigger::matching(kDue.addSecs(3600)));
    EXPECT_EQ(pending->at(1).identifier, "order_A_reminder_1");

    restarted.removePendingNotificationRequests({"order_A_reminder_1", "unknown"});
    EXPECT_EQ(UserNotificationCenter(storeFile()).pendingRequests().size(), 1);

    // Withdrawn and added again in one write: the one added stays.
    restarted.replace({"order_A_reminder_0"}, {shootReminder("order_A_reminder_0", kDue.addDays(2)),
                                               shootReminder("order_A_reminder_3", kDue)});
    const QList<UserNotificationRequest> replaced = UserNotificationCenter(storeFile()).pendingRequests();
    ASSERT_EQ(replaced.size(), 2);
    EXPECT_EQ(replaced.at(0).trigger, UserNotificationTrigger::matching(kDue.addDays(2)));

    restarted.removeAllPendingNotificationRequests();
    EXPECT_EQ(read(storeFile()), QJsonDocument::fromJson(read(storeFile())).toJson());
}

TEST(UserNotificationCenterTest, ARequestThatFellDueWhileClosedIsShownOnceAtStart)
{
    {
        Centre center(kDue.addSecs(-600));
        ASSERT_EQ(addAndWait(center, shootReminder("order_B_reminder_2", kDue)), "");
    }
    NotificationTestBus bus;
    NotificationTestService& service = bus.startService();
    {
        Centre center(kDue.addDays(1));
        // Out of the list first, then shown: wait for both.
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return center.pendingRequests().isEmpty() && service.calls.size() == 1; }, 3000));
    }
    Centre again(kDue.addDays(1));
    QTest::qWait(300);
    EXPECT_EQ(service.calls.size(), 1);
}

TEST(UserNotificationCenterTest, AuthorizationFollowsWhetherTheServiceAnswers)
{
    auto ask = [](UserNotificationCenter& center) {
        return answerOf<bool>([&](QObject* context, auto done) {
                   center.requestAuthorization(UserNotificationCenter::Alert | UserNotificationCenter::Sound, context, done);
               }, 6000).value_or(false);
    };
    {
        UserNotificationCenter noBusAtAll(storeFile());
        EXPECT_FALSE(ask(noBusAtAll));
    }
    NotificationTestBus bus;
    UserNotificationCenter center(storeFile());
    EXPECT_FALSE(ask(center));
    EXPECT_EQ(answerOf<UserNotificationAuthorizationStatus>(
                  [&](QObject* context, auto done) { center.getAuthorizationStatus(context, done); }, 6000),
              UserNotificationAuthorizationStatus::Denied);

    bus.startService();
    EXPECT_TRUE(ask(center));
}

TEST(UserNotificationCenterTest, UserTextIsEscapedForAServiceThatReadsMarkup)
{
    NotificationTestBus bus;
    NotificationTestService& service = bus.startService();
    service.capabilities << "body-markup";
    // A connection handed in is used as it is, whatever the environment says.
    const QDBusConnection injected = QDBusConnection::connectToBus(bus.address(), "injected");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    UserNotificationCenter center(storeFile(), injected);
    center.setClock(clockFrom(kDue));
    UserNotificationRequest r = shootReminder("markup", kDue);
    r.subtitle = "<b>A&B</b> · 套餐";
    r.defaultSound = false;
    ASSERT_EQ(addAndWait(center, r), "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.calls.isEmpty(); }, 3000));
    EXPECT_TRUE(service.calls.first().body.startsWith("&lt;b&gt;A&amp;B&lt;/b&gt; · 套餐\n"));
    EXPECT_FALSE(service.calls.first().hints.contains("sound-name"));
}

TEST(UserNotificationCenterTest, BadRequestsAreRefusedAndCallersThatLeftAreNotCalled)
{
    Centre center(kDue);
    UserNotificationRequest february30 = shootReminder("february30", kDue.addDays(1));
    february30.trigger.day = 30;
    february30.trigger.month = 2;
    for (const UserNotificationRequest& r :
         {shootReminder("", kDue.addDays(1)), february30, shootReminder("late", kDue.addSecs(-120))})
        EXPECT_FALSE(addAndWait(center, r).isEmpty()) << r.identifier.toStdString();
    EXPECT_TRUE(center.pendingRequests().isEmpty());

    bool called = false;
    auto gone = std::make_unique<QObject>();
    center.add(shootReminder("later", kDue.addDays(2)), gone.get(), [&](const QString&) { called = true; });
    gone.reset();
    QTest::qWait(50);
    EXPECT_FALSE(called);
    EXPECT_EQ(center.pendingRequests().size(), 1); // the request itself was taken
}

TEST(UserNotificationCenterTest, ARequestRemovedOrReplacedWhileTheServiceIsAskedIsNotShown)
{
    NotificationTestBus bus;
    NotificationTestService& service = bus.startService();
    Centre center(kDue);
    int asked = 0;
    service.onCapabilities = [&] {
        ++asked;
        center.removePendingNotificationRequests({"order_F_reminder_0"});
        center.add(shootReminder("order_F_reminder_1", kDue.addDays(1)));
    };
    center.add(shootReminder("order_F_reminder_0", kDue));
    center.add(shootReminder("order_F_reminder_1", kDue));
    ASSERT_TRUE(QTest::qWaitFor([&] { return asked > 0; }, 3000));
    QTest::qWait(300);
    EXPECT_TRUE(service.calls.isEmpty());
    ASSERT_EQ(center.pendingRequests().size(), 1);
    EXPECT_EQ(center.pendingRequests().first().trigger, UserNotificationTrigger::matching(kDue.addDays(1)));
}

TEST(UserNotificationCenterTest, OnlyACallNoDaemonTookGoesBackAndIsShownOnTheNextTry)
{
    struct Case {
        const char* name;
        QString refuseWith;
        bool silent;
        bool backAfterFirstTry;
    };
    const Case cases[] = {
        {"refused with an error", "org.freedesktop.DBus.Error.Failed", false, true},
        {"answered after the time-out by the daemon that owns the name", {}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(storeFile());
        NotificationTestBus bus;
        NotificationTestService& service = bus.startService();
        service.refuseWith = c.refuseWith;
        service.silent = c.silent;
        Centre center(kDue.addMSecs(-200));
        QSignalSpy delivered(&center, &UserNotificationCenter::delivered);
        LogLines log;
        ASSERT_EQ(addAndWait(center, shootReminder("order_G_reminder_0", kDue)), "");
        // Settled once the worker's answer is in: a failure logged, or the request shown.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !log.lines.isEmpty() || delivered.count() > 0; }, 9000));
        EXPECT_EQ(center.pendingRequests().size(), c.backAfterFirstTry ? 1 : 0);
        EXPECT_EQ(read(storeFile()).contains("order_G_reminder_0"), c.backAfterFirstTry);

        // The next try, a minute later, with a daemon that answers.
        service.refuseWith.clear();
        service.silent = false;
        center.setClock(clockFrom(kDue.addSecs(61)));
        QTest::qWait(c.backAfterFirstTry ? 0 : 500);
        EXPECT_TRUE(QTest::qWaitFor([&] { return center.pendingRequests().isEmpty(); }, 3000));
        QTest::qWait(200);
        EXPECT_EQ(service.calls.size(), 1);
    }
}

TEST(UserNotificationCenterTest, WithoutTheServiceARequestStaysPendingAndADaemonThatAppearsGetsItAtOnce)
{
    NotificationTestBus bus;
    Centre center(kDue.addMSecs(-200));
    {
        LogLines log;
        ASSERT_EQ(addAndWait(center, shootReminder("order_H_reminder_0", kDue)), "");
        ASSERT_TRUE(log.waitForOne());
        EXPECT_TRUE(log.lines.first().startsWith("📱 本地通知发送失败: "));
    }
    EXPECT_EQ(center.pendingRequests().size(), 1);

    // The launcher entry names the icon style the user installed.
    rewriteInPlace(TestEnv::dataHome() + "/applications/tessary.desktop",
                   "[Desktop Entry]\nType=Application\nName=Kelvara\nIcon=tessary-classic\n");
    NotificationTestService& service = bus.startService();
    // Far sooner than the pause between tries.
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.calls.size() == 1; }, 5000));
    EXPECT_EQ(service.calls.first().appIcon, "tessary-classic");
    EXPECT_TRUE(QTest::qWaitFor([&] { return center.pendingRequests().isEmpty(); }, 2000));
    QFile::remove(TestEnv::dataHome() + "/applications/tessary.desktop");
}

TEST(UserNotificationCenterTest, TwoRequestsWithOneIdentifierInABatchLeaveTheLaterShownOnce)
{
    NotificationTestBus bus;
    NotificationTestService& service = bus.startService();
    Centre center(kDue.addSecs(-2));
    UserNotificationRequest earlier = shootReminder("order_I_reminder_0", kDue);
    earlier.title = "旧提醒";
    UserNotificationRequest later = shootReminder("order_I_reminder_0", kDue);
    later.title = "新提醒";
    EXPECT_EQ(answerOf<QStringList>([&](QObject* context, auto done) { center.add(QList{earlier, later}, context, done); }),
              QStringList({"", ""}));
    ASSERT_EQ(center.pendingRequests().size(), 1);
    EXPECT_EQ(center.pendingRequests().first().title, "新提醒");
    EXPECT_EQ(read(storeFile()).count("order_I_reminder_0"), 1);

    ASSERT_TRUE(QTest::qWaitFor([&] { return center.pendingRequests().isEmpty(); }, 5000));
    QTest::qWait(300);
    ASSERT_EQ(service.calls.size(), 1);
    EXPECT_EQ(service.calls.first().summary, "新提醒");
    EXPECT_EQ(service.calls.first().appIcon, "tessary");
}

// The reminder agent writes its list while the app starts and reads it (here
// just after the read, as the app sets an unreadable list aside): the app
// watches the file before it reads, so the request is still shown.
TEST(UserNotificationCenterTest, ARequestWrittenRightAfterTheReadAtStartIsShown)
{
    NotificationTestBus bus;
    NotificationTestService& service = bus.startService();
    rewriteInPlace(storeFile(), "{ not json");
    bool written = false;
    Log::setSink([&](const QString& line) {
        if (written || !line.contains("本地通知列表无法读取"))
            return;
        written = true;
        // Written elsewhere and renamed into place, as the agent replaces the
        // list: the app holds the list's lock while it reads.
        const QString agents = TestEnv::root() + "/agent-list.json";
        ASSERT_TRUE(PendingNotificationStore(agents).update([](PendingNotificationStore::Requests& list) {
            list.append(shootReminder("order_J_reminder_0", kDue));
        }));
        ASSERT_TRUE(QFile::rename(agents, storeFile()));
    });
    Centre center(kDue.addSecs(30));
    Log::setSink({});
    ASSERT_TRUE(written) << "the unreadable list was not set aside at start";
    // Out of the list first, then shown: wait for both.
    EXPECT_TRUE(QTest::qWaitFor([&] { return service.calls.size() == 1 && center.pendingRequests().isEmpty(); }, 3000))
        << service.calls.size() << " shown, " << center.pendingRequests().size() << " pending";
}
