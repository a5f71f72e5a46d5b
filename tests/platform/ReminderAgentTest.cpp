#include "ChildProcess.h"
#include "NotificationTestBus.h"
#include "PlatformTestFiles.h"

#include "platform/PendingNotificationStore.h"
#include "platform/ReminderAgent.h"
#include "platform/UserNotificationCenter.h"

#include <QDBusConnectionInterface>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

using namespace PlatformTestFiles;

namespace {

// The reminder agent as a real process beside an app centre in this process,
// on the private bus with the stand-in notification service.
class ReminderAgentTest : public ::testing::Test
{
protected:
    NotificationTestBus bus;
    NotificationTestService& service = bus.startService();
    PendingNotificationStore pending{UserNotificationCenter::defaultStorePath()};
    // Killed at the end of the test, as they leave.
    std::vector<std::unique_ptr<ChildProcess>> agents;

    // `zone`, when given, is the agent's TZ.
    ChildProcess& startAgent(bool waitForName = true, const QString& zone = {})
    {
        agents.push_back(std::make_unique<ChildProcess>());
        ChildProcess& agent = *agents.back();
        if (!zone.isEmpty()) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("TZ", zone);
            agent.process().setProcessEnvironment(env);
        }
        agent.process().start(TESSARY_AGENT_PATH, {});
        EXPECT_TRUE(agent.process().waitForStarted(5000)) << agent.ending();
        if (waitForName)
            EXPECT_TRUE(QTest::qWaitFor([&] { return agentHoldsName(); }, 5000));
        return agent;
    }

    bool agentHoldsName()
    {
        const bool held = QDBusConnection::connectToBus(bus.address(), "probe")
                              .interface()
                              ->isServiceRegistered(UserNotificationCenter::kAgentService)
                              .value();
        QDBusConnection::disconnectFromBus("probe");
        return held;
    }

    // Written straight into the file, as the app leaves it before it quits.
    void addRequests(int count, const QDateTime& due, const QString& prefix)
    {
        addRequests(count, UserNotificationTrigger::matching(due), prefix);
    }
    void addRequests(int count, const UserNotificationTrigger& trigger, const QString& prefix)
    {
        ASSERT_TRUE(pending.update([&](PendingNotificationStore::Requests& list) {
            for (int i = 0; i < count; ++i) {
                UserNotificationRequest r;
                r.identifier = prefix + QString::number(i);
                r.title = r.identifier;
                r.trigger = trigger;
                list.append(r);
            }
        }));
    }

    // How often each title was shown.
    std::map<QString, int> shown() const
    {
        std::map<QString, int> out;
        for (const auto& call : service.calls)
            ++out[call.summary];
        return out;
    }

    bool waitForCalls(qsizetype count, int ms = 10000)
    {
        return QTest::qWaitFor([&] { return service.calls.size() >= count; }, ms);
    }
};

QDateTime thisMinute()
{
    const QDateTime now = QDateTime::currentDateTime();
    return QDateTime(now.date(), QTime(now.time().hour(), now.time().minute()));
}

}

TEST_F(ReminderAgentTest, AloneItShowsARequestAtItsMinuteOnceAndTakesItOut)
{
    // The agent in a zone some seconds off UTC, whose next minute starts
    // three seconds from now: the request is due then, not up to a minute on.
    const qint64 due = (QDateTime::currentMSecsSinceEpoch() / 1000 + 3) * 1000;
    const int offset = int((60 - due / 1000 % 60) % 60);
    startAgent(true, QString("TST-0:00:%1").arg(offset, 2, 10, QChar('0')));
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(due, Qt::OffsetFromUTC, offset);
    ASSERT_EQ(local.time().second(), 0);
    addRequests(1, UserNotificationTrigger{local.date().year(), local.date().month(), local.date().day(),
                                           local.time().hour(), local.time().minute()},
                "on-time-");
    ASSERT_TRUE(waitForCalls(1));
    EXPECT_GE(QDateTime::currentMSecsSinceEpoch(), due) << "not before its minute";
    EXPECT_TRUE(QTest::qWaitFor([&] { return pending.read().isEmpty(); }, 2000));
    QTest::qWait(300);
    EXPECT_EQ(service.calls.size(), 1);
}

TEST_F(ReminderAgentTest, WithTheAppRunningEveryRequestIsShownOnceAlsoWhenTheAgentIsKilled)
{
    addRequests(50, thisMinute(), "first-");
    UserNotificationCenter app(UserNotificationCenter::defaultStorePath());
    ChildProcess& agent = startAgent(false);
    ASSERT_TRUE(waitForCalls(50));

    // SIGKILL in the middle of the run, where the agent waits on a call the
    // daemon has taken: the daemon holds its answer from the 61st on, so the
    // kill lands there however late the test gets to it.
    service.answerFirst = 60;
    addRequests(50, thisMinute(), "second-");
    ASSERT_TRUE(waitForCalls(61));
    ASSERT_TRUE(agent.kill()) << "an agent gone before the test's kill: " << agent.ending();
    service.answerFirst = -1;
    startAgent(false);
    ASSERT_TRUE(waitForCalls(100));
    QTest::qWait(500);
    EXPECT_EQ(service.calls.size(), 100);
    EXPECT_EQ(shown().size(), 100u);
    EXPECT_TRUE(pending.read().isEmpty());
}

TEST_F(ReminderAgentTest, ASecondAgentLeavesTheNameToTheFirstAndExitsAtOnce)
{
    ChildProcess& first = startAgent();
    ChildProcess& second = startAgent(false);
    ASSERT_TRUE(second.finished(5000));
    EXPECT_TRUE(second.exitedCleanly()) << second.ending();
    EXPECT_EQ(first.process().state(), QProcess::Running) << first.ending();
    EXPECT_TRUE(agentHoldsName());
}

TEST_F(ReminderAgentTest, AnUnreadableListIsKeptAsideAndTheNextRequestStillComes)
{
    rewriteInPlace(UserNotificationCenter::defaultStorePath(), "{ not json");
    ChildProcess& agent = startAgent();
    // The agent may take the bus name before it has read the file.
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return asideCopies(TestEnv::dataHome() + "/Kelvara", "pending_notifications.json.corrupt-*")
                == QByteArrayList{"{ not json"};
        },
        10000));
    addRequests(1, thisMinute(), "after-");
    ASSERT_TRUE(waitForCalls(1));
    EXPECT_EQ(agent.process().state(), QProcess::Running) << agent.ending();
}

TEST_F(ReminderAgentTest, TheSwitchWritesOrRemovesTheAutostartEntryAndStartsAnAgent)
{
    ReminderAgent::setExecutablePath(TESSARY_AGENT_PATH);
    ReminderAgent::localNotificationsSwitched(true);
    const QByteArray entry = read(ReminderAgent::autostartPath());
    EXPECT_TRUE(entry.contains("Exec=\"" TESSARY_AGENT_PATH "\"\n")) << entry.constData();
    EXPECT_TRUE(QTest::qWaitFor([&] { return agentHoldsName(); }, 5000)); // started, detached

    ReminderAgent::localNotificationsSwitched(false);
    EXPECT_FALSE(QFile::exists(ReminderAgent::autostartPath()));
}
