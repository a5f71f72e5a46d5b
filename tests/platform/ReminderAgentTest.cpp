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
    std::vector<std::unique_ptr<QProcess>> agents;

    void TearDown() override
    {
        for (auto& agent : agents) {
            agent->kill();
            agent->waitForFinished(3000);
        }
    }

    QProcess& startAgent(bool waitForName = true)
    {
        agents.push_back(std::make_unique<QProcess>());
        QProcess& agent = *agents.back();
        agent.start(TESSARY_AGENT_PATH, {});
        EXPECT_TRUE(agent.waitForStarted(5000));
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
        ASSERT_TRUE(pending.update([&](PendingNotificationStore::Requests& list) {
            for (int i = 0; i < count; ++i) {
                UserNotificationRequest r;
                r.identifier = prefix + QString::number(i);
                r.title = r.identifier;
                r.trigger = UserNotificationTrigger::matching(due);
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
    startAgent();
    // Reminders are due on the minute: the next one at least a few seconds off.
    if (QDateTime::currentDateTime().secsTo(thisMinute().addSecs(60)) < 4)
        QTest::qWait(5000);
    const QDateTime due = thisMinute().addSecs(60);
    addRequests(1, due, "on-time-");
    ASSERT_TRUE(waitForCalls(1, 65000));
    EXPECT_GE(QDateTime::currentDateTime(), due);
    EXPECT_LT(QDateTime::currentDateTime(), due.addSecs(2));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pending.read().isEmpty(); }, 2000));
    QTest::qWait(300);
    EXPECT_EQ(service.calls.size(), 1);
}

TEST_F(ReminderAgentTest, WithTheAppRunningEveryRequestIsShownOnceAlsoWhenTheAgentIsKilled)
{
    addRequests(50, thisMinute(), "first-");
    UserNotificationCenter app(UserNotificationCenter::defaultStorePath());
    QProcess& agent = startAgent(false);
    ASSERT_TRUE(waitForCalls(50));

    addRequests(50, thisMinute(), "second-");
    ASSERT_TRUE(waitForCalls(60));
    agent.kill(); // SIGKILL, in the middle of the run
    agent.waitForFinished(3000);
    startAgent(false);
    ASSERT_TRUE(waitForCalls(100));
    QTest::qWait(500);
    EXPECT_EQ(service.calls.size(), 100);
    EXPECT_EQ(shown().size(), 100u);
    EXPECT_TRUE(pending.read().isEmpty());
}

TEST_F(ReminderAgentTest, ASecondAgentLeavesTheNameToTheFirstAndExitsAtOnce)
{
    QProcess& first = startAgent();
    QProcess& second = startAgent(false);
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_TRUE(agentHoldsName());
}

TEST_F(ReminderAgentTest, AnUnreadableListIsKeptAsideAndTheNextRequestStillComes)
{
    rewriteInPlace(UserNotificationCenter::defaultStorePath(), "{ not json");
    QProcess& agent = startAgent();
    // The agent may take the bus name before it has read the file.
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return asideCopies(TestEnv::dataHome() + "/Kelvara", "pending_notifications.json.corrupt-*")
                == QByteArrayList{"{ not json"};
        },
        10000));
    addRequests(1, thisMinute(), "after-");
    ASSERT_TRUE(waitForCalls(1));
    EXPECT_EQ(agent.state(), QProcess::Running);
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
