#include "TestEnv.h"

#include "platform/TimeZoneWatcher.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

// What the desktop's zone tools do: the zone link replaced by another.
TEST(TimeZoneWatcherTest, AReplacedZoneLinkIsSeenOnce)
{
    const QString folder = TestEnv::root() + "/etc";
    QDir().mkpath(folder);
    const QString link = folder + "/localtime";
    ASSERT_TRUE(QFile::link("/usr/share/zoneinfo/Asia/Shanghai", link));
    TimeZoneWatcher watcher(link);
    QSignalSpy spy(&watcher, &TimeZoneWatcher::timeZoneChanged);
    EXPECT_FALSE(watcher.check());

    QFile::remove(link);
    ASSERT_TRUE(QFile::link("/usr/share/zoneinfo/UTC", link));
    EXPECT_TRUE(spy.wait(3000));
    EXPECT_FALSE(watcher.check());
    EXPECT_EQ(spy.count(), 1);
}
