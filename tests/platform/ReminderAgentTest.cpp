#include "BusProxy.h"
#include "ChildProcess.h"
#include "NotificationTestBus.h"
#include "PlatformTestFiles.h"
#include "StrayProcesses.h"

#include "platform/FileLock.h"
#include "platform/PendingNotificationStore.h"
#include "platform/ReminderAgent.h"
#include "platform/UserNotificationCenter.h"

#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>

#include <sys/wait.h>

using namespace PlatformTestFiles;

namespace {

// The reminder agent as a real process beside an app centre in this process,
// on the private bus with the stand-in notification service.
class ReminderAgentTest : public ::testing::Test
{
public:
    // How long an agent may take to see its bus gone and end.
    static constexpr int kEndsWithinMs = 2000;

    NotificationTestBus bus;
    NotificationTestService& service = bus.startService();
    PendingNotificationStore pending{UserNotificationCenter::defaultStorePath()};
    std::vector<std::unique_ptr<ChildProcess>> agents;

    // Every agent still running ends with its bus, cleanly.
    void TearDown() override
    {
        std::vector<ChildProcess*> running;
        for (const auto& agent : agents) {
            if (agent->process().state() != QProcess::NotRunning)
                running.push_back(agent.get());
        }
        bus.end();
        for (ChildProcess* agent : running) {
            EXPECT_TRUE(agent->endsWithin(kEndsWithinMs)) << "an agent still running after its bus ended";
            EXPECT_TRUE(agent->exitedCleanly()) << agent->ending() << agent->output().toStdString();
        }
    }

    // Started on `busAddress` (the test's bus when empty), without waiting;
    // `zone`, when given, is its TZ.
    ChildProcess& launchAgent(const QString& busAddress = {}, const QString& zone = {})
    {
        agents.push_back(std::make_unique<ChildProcess>());
        ChildProcess& agent = *agents.back();
        start(agent, busAddress, zone);
        EXPECT_TRUE(agent.process().waitForStarted(5000)) << agent.ending();
        return agent;
    }

    static void start(ChildProcess& agent, const QString& busAddress, const QString& zone = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!zone.isEmpty())
            env.insert("TZ", zone);
        if (!busAddress.isEmpty())
            env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        agent.process().setProcessEnvironment(env);
        agent.process().setProcessChannelMode(QProcess::MergedChannels);
        agent.process().start(TESSARY_AGENT_PATH, {});
    }

    ChildProcess& startAgent(bool waitForName = true, const QString& zone = {})
    {
        ChildProcess& agent = launchAgent({}, zone);
        if (waitForName)
            EXPECT_TRUE(bus.waitForOwner(UserNotificationCenter::kAgentService, 5000)) << agent.ending();
        return agent;
    }

    // Ends the bus and tells whether `agent` ended cleanly within the time.
    ::testing::AssertionResult endsWithTheBus(ChildProcess& agent, const std::function<void()>& meanwhile = {})
    {
        if (agent.process().state() == QProcess::NotRunning)
            return ::testing::AssertionFailure() << "ended before its bus: " << agent.ending();
        bus.end();
        QElapsedTimer since;
        since.start();
        if (meanwhile)
            meanwhile();
        if (!agent.endsWithin(int(std::max<qint64>(0, kEndsWithinMs - since.elapsed()))))
            return ::testing::AssertionFailure() << "still running " << kEndsWithinMs << " ms after its bus ended";
        if (!agent.exitedCleanly())
            return ::testing::AssertionFailure() << agent.ending() << ": " << agent.output().toStdString();
        return ::testing::AssertionSuccess();
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
    EXPECT_EQ(bus.ownerPid(UserNotificationCenter::kAgentService), uint(first.process().processId()));
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
    // Started detached, so it outlives the app; this process takes it in.
    ASSERT_TRUE(bus.waitForOwner(UserNotificationCenter::kAgentService, 5000));
    const pid_t agent = pid_t(bus.ownerPid(UserNotificationCenter::kAgentService));
    ASSERT_GT(agent, 0);

    ReminderAgent::localNotificationsSwitched(false);
    EXPECT_FALSE(QFile::exists(ReminderAgent::autostartPath()));
    ReminderAgent::setExecutablePath({});

    bus.end();
    const std::optional<int> status = StrayProcesses::awaitChild(agent, kEndsWithinMs);
    ASSERT_TRUE(status) << "the detached agent still runs " << kEndsWithinMs << " ms after its bus ended";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status;
}

// However far into its life the agent is when the session's bus goes, it
// ends within two seconds, cleanly; a reminder it was showing stays pending.
struct BusEnd {
    const char* name;
    void (*run)(ReminderAgentTest&);
};

void PrintTo(const BusEnd& step, std::ostream* os)
{
    *os << step.name;
}

class ReminderAgentBusEndTest : public ReminderAgentTest, public ::testing::WithParamInterface<BusEnd>
{
};

TEST_P(ReminderAgentBusEndTest, TheAgentEndsCleanlyWithinTwoSeconds)
{
    GetParam().run(*this);
}

const BusEnd busEnds[] = {
    {"BeforeItHoldsItsName_ItsCallForTheNameWaits",
     [](ReminderAgentTest& t) {
         BusProxy proxy(t.bus.address());
         proxy.holdCallTo("RequestName");
         ChildProcess& agent = t.launchAgent(proxy.address());
         ASSERT_TRUE(QTest::qWaitFor([&] { return proxy.holding(); }, 10000)) << agent.ending();
         EXPECT_TRUE(t.endsWithTheBus(agent));
     }},
    {"HoldingItsNameNotYetReady_ItsFirstReadWaitsForTheAppsLockOnTheList",
     [](ReminderAgentTest& t) {
         // An unreadable list is read again under the lock, which the app holds.
         rewriteInPlace(UserNotificationCenter::defaultStorePath(), "{ not json");
         std::optional<FileLock> appWriting;
         appWriting.emplace(UserNotificationCenter::defaultStorePath() + ".lock");
         ChildProcess& agent = t.launchAgent();
         ASSERT_TRUE(t.bus.waitForOwner(UserNotificationCenter::kAgentService, 5000)) << agent.ending();
         EXPECT_TRUE(t.endsWithTheBus(agent, [&] {
             QTest::qWait(300);
             appWriting.reset();
         }));
     }},
    {"ReadyButForTheNotificationServiceWhichHasNotAnswered",
     [](ReminderAgentTest& t) {
         bool asked = false;
         // The bus ends before the service's answer goes out.
         t.service.onCapabilities = [&] {
             asked = true;
             t.bus.end();
         };
         t.addRequests(1, thisMinute(), "due-");
         ChildProcess& agent = t.launchAgent();
         ASSERT_TRUE(QTest::qWaitFor([&] { return asked; }, 10000)) << agent.ending();
         EXPECT_TRUE(t.endsWithTheBus(agent));
     }},
    {"WhileItShowsAReminderTheServiceHasNotAnsweredFor",
     [](ReminderAgentTest& t) {
         t.service.silent = true;
         t.addRequests(1, thisMinute(), "showing-");
         ChildProcess& agent = t.launchAgent();
         ASSERT_TRUE(t.waitForCalls(1)) << agent.ending();
         EXPECT_TRUE(t.endsWithTheBus(agent));
         EXPECT_EQ(t.pending.read().size(), 1) << "the reminder no answer confirmed";
     }},
    {"IdleAfterItsWork",
     [](ReminderAgentTest& t) {
         t.addRequests(1, thisMinute(), "done-");
         ChildProcess& agent = t.startAgent();
         ASSERT_TRUE(t.waitForCalls(1)) << agent.ending();
         ASSERT_TRUE(QTest::qWaitFor([&] { return t.pending.read().isEmpty(); }, 5000));
         QTest::qWait(200);
         EXPECT_TRUE(t.endsWithTheBus(agent));
     }},
};

INSTANTIATE_TEST_SUITE_P(AtEveryStep, ReminderAgentBusEndTest, ::testing::ValuesIn(busEnds),
                         [](const ::testing::TestParamInfo<BusEnd>& info) { return std::string(info.param.name); });

// The bus ends the moment the agent is told it holds the name, the narrowest
// place there is; no start of many leaves an agent behind.
TEST_F(ReminderAgentTest, StartsWhoseBusEndsAsTheNameIsGivenLeaveNoAgentRunning)
{
    constexpr int kStarts = 200;
    int leftRunning = 0, endedOtherwise = 0;
    std::string firstOther;
    for (int i = 0; i < kStarts; ++i) {
        NotificationTestBus session(NotificationTestBus::inTestFolder(), false);
        BusProxy proxy(session.address());
        QEventLoop answered;
        proxy.afterAnswerTo("RequestName", [&] {
            session.end();
            proxy.cut();
            answered.quit();
        });
        ChildProcess agent;
        QObject::connect(&agent.process(), &QProcess::finished, &answered, &QEventLoop::quit);
        start(agent, proxy.address());
        // Its start may take long on a loaded machine; its end may not.
        QTimer::singleShot(30000, &answered, &QEventLoop::quit);
        answered.exec();
        ASSERT_FALSE(session.running()) << "no answer to the agent's call for the name: " << agent.ending();
        if (!agent.endsWithin(kEndsWithinMs)) {
            ++leftRunning;
            agent.kill();
        } else if (!agent.exitedCleanly() && endedOtherwise++ == 0) {
            firstOther = agent.ending() + ": " + agent.output().toStdString();
        }
    }
    EXPECT_EQ(leftRunning, 0) << "of " << kStarts << " starts";
    EXPECT_EQ(endedOtherwise, 0) << firstOther;
}
