#include "platform/ProcessActivity.h"

#include "NotificationTestBus.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QMutex>
#include <QThread>

#include <poll.h>
#include <unistd.h>

namespace {

// Stands in for logind: hands out the write end of a pipe as the inhibitor.
class FakeLogind : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    QStringList args;
    int readEnd = -1;
    QMutex mutex;

public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return {};
        QMutexLocker lock(&mutex);
        args = {what, who, why, mode};
        readEnd = fds[0];
        QDBusUnixFileDescriptor handed(fds[1]); // keeps its own duplicate
        ::close(fds[1]);
        return handed;
    }
};

} // namespace

TEST(ProcessActivity, HoldsALogindInhibitorUntilDestroyed)
{
    NotificationTestBus bus(NotificationTestBus::inTestFolder(), false);
    ASSERT_FALSE(bus.address().isEmpty());

    // The fake serves from its own thread, as logind would from its process.
    QThread serviceThread;
    serviceThread.start();
    FakeLogind fake;
    fake.moveToThread(&serviceThread);
    QDBusConnection service = QDBusConnection::connectToBus(bus.address(), "fake-logind");
    ASSERT_TRUE(service.isConnected());
    ASSERT_TRUE(service.registerService("org.freedesktop.login1"));
    ASSERT_TRUE(service.registerObject("/org/freedesktop/login1", &fake, QDBusConnection::ExportAllSlots));

    QDBusConnection client = QDBusConnection::connectToBus(bus.address(), "client");
    int readEnd = -1;
    {
        ProcessActivity activity("自动导片复制任务进行中，请勿让系统睡眠", client);
        EXPECT_TRUE(activity.isHeld());
        QMutexLocker lock(&fake.mutex);
        ASSERT_EQ(fake.args.size(), 4);
        EXPECT_EQ(fake.args[0], "sleep:idle");
        EXPECT_EQ(fake.args[2], "自动导片复制任务进行中，请勿让系统睡眠");
        EXPECT_EQ(fake.args[3], "block");
        readEnd = fake.readEnd;
    }
    // logind releases the inhibitor when the last copy of the descriptor closes.
    pollfd p{readEnd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 3000), 1);
    char byte;
    EXPECT_EQ(::read(readEnd, &byte, 1), 0);
    ::close(readEnd);

    service.unregisterObject("/org/freedesktop/login1");
    QDBusConnection::disconnectFromBus("fake-logind");
    QDBusConnection::disconnectFromBus("client");
    serviceThread.quit();
    serviceThread.wait();
}

#include "AutoImportKeepAwakeTest.moc"
