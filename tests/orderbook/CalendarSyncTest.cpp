#include "CalendarSyncFixture.h"

#include "platform/IcsCalendarStore.h"

#include <QFileInfo>
#include <QTimeZone>
#include <QThread>

namespace {

using CalendarSyncTest = CalendarSyncFixture;

TEST_F(CalendarSyncTest, StoredRulesAndTheirDefaults)
{
    struct Case {
        std::optional<QByteArray> stored;
        QList<qint64> values; // of the rules read
        bool defaults;
    };
    const QList<Case> cases{
        {std::nullopt, {7, 3, 1}, true},
        {"[]", {}, false},
        {R"([{"id":"6B1F3C2A-1111-4222-8333-944445555666","value":2,"unit":"周"}])", {7, 3, 1}, true},
        {R"([{"id":"6B1F3C2A-1111-4222-8333-944445555666","value":2.5,"unit":"小时"}])", {7, 3, 1}, true},
        {"not json", {7, 3, 1}, true},
        {R"([{"id":"6B1F3C2A-1111-4222-8333-944445555666","value":2,"unit":"小时"}])", {2}, false},
    };
    for (const Case& c : cases) {
        if (c.stored)
            store->set(CalendarSyncManager::reminderRulesKey, *c.stored);
        else
            store->remove(CalendarSyncManager::reminderRulesKey);
        const QList<ReminderRule> rules = manager->reminderRules();
        QList<qint64> values;
        for (const ReminderRule& r : rules) {
            values.append(r.value);
            if (c.defaults)
                EXPECT_EQ(r.triggerTime->time(), QTime(10, 0));
        }
        EXPECT_EQ(values, c.values) << c.stored.value_or("absent").constData();
        EXPECT_EQ(store->hasStoredValue(CalendarSyncManager::reminderRulesKey), c.stored.has_value())
            << "defaults are never written back";
    }

    ReminderRule noTime(2, ReminderUnit::hour);
    manager->setReminderRules({noTime});
    EXPECT_FALSE(stored(CalendarSyncManager::reminderRulesKey).contains("triggerTime"));
    EXPECT_TRUE(stored(CalendarSyncManager::reminderRulesKey).contains("\"value\":2,\"unit\":\"小时\""));
    EXPECT_EQ(manager->reminderRules(), QList<ReminderRule>{noTime});
}

TEST_F(CalendarSyncTest, AlarmMoments)
{
    struct Case {
        qint64 value;
        ReminderUnit unit;
        std::optional<QTime> trigger;
        QDateTime shoot;
        std::optional<QDateTime> alarm;
    };
    const QDateTime shoot = local(2025, 3, 10, 14, 0);
    const QList<Case> cases{
        {1, ReminderUnit::day, QTime(20, 30), shoot, local(2025, 3, 9, 20, 30)},
        {1, ReminderUnit::day, std::nullopt, shoot, local(2025, 3, 9, 9, 0)},
        {0, ReminderUnit::day, QTime(8, 15), shoot, local(2025, 3, 10, 8, 15)},
        {2, ReminderUnit::hour, std::nullopt, local(2025, 3, 10, 0, 30), local(2025, 3, 9, 22, 30)},
        {45, ReminderUnit::minute, std::nullopt, local(2025, 3, 1, 0, 10), local(2025, 2, 28, 23, 25)},
        {0, ReminderUnit::hour, std::nullopt, shoot, shoot},
        {std::numeric_limits<qint64>::max(), ReminderUnit::hour, std::nullopt, shoot, std::nullopt},
        {std::numeric_limits<qint64>::min(), ReminderUnit::day, std::nullopt, shoot, std::nullopt},
    };
    for (const Case& c : cases) {
        std::optional<QDateTime> trigger;
        if (c.trigger)
            trigger = QDateTime(QDate(2020, 1, 1), *c.trigger);
        EXPECT_EQ(CalendarSyncManager::calculateAlarmDate(ReminderRule(c.value, c.unit, trigger), c.shoot), c.alarm)
            << c.value << rawValue(c.unit).toStdString();
    }
}

TEST_F(CalendarSyncTest, EventOfAnOrder)
{
    Order o = synced("张三", 10);
    o.depositAmount = 299.99;
    const auto id = sync(o);
    ASSERT_TRUE(id);
    const CalendarEvent e = *calendar->event(*id);
    EXPECT_EQ(e.title, "张三 - 标准套系");
    EXPECT_EQ(e.notes, "张三-无电话-定金299");
    EXPECT_EQ(e.startDate, QDateTime(QDate::currentDate().addDays(10), QTime(15, 0)));
    EXPECT_EQ(e.endDate, e.startDate.addSecs(7200));
    EXPECT_FALSE(e.allDay);
    EXPECT_EQ(calendar->calendar(e.calendarIdentifier)->title, "拍摄档期");
    EXPECT_EQ(appAlarms(e), 3);

    o.phone = "555";
    o.note = "外景";
    o.depositAmount = 500;
    EXPECT_EQ(CalendarSyncManager::eventNotes(o), "张三-555-定金500\n外景");

    const Order past = synced("李四", -1);
    const auto pastId = sync(past);
    ASSERT_TRUE(pastId);
    EXPECT_TRUE(calendar->event(*pastId)->alarms.isEmpty());
    EXPECT_TRUE(logMessages().contains("订单拍摄时间为过去时间，跳过添加提醒"));
    EXPECT_EQ(calendar->calendars().size(), 1) << "the dedicated calendar is reused";
}

TEST_F(CalendarSyncTest, PermissionStates)
{
    struct Case {
        CalendarAuthorizationStatus status;
        bool authorized;
        QString line;
        bool reads;
    };
    const QList<Case> cases{
        {CalendarAuthorizationStatus::NotDetermined, false, "日历权限状态: 未确定（需要请求权限）", false},
        {CalendarAuthorizationStatus::Restricted, false, "日历权限状态: 受限制", false},
        {CalendarAuthorizationStatus::Denied, false, "日历权限状态: 已拒绝", false},
        {CalendarAuthorizationStatus::FullAccess, true, "日历权限状态: 已授权（完整访问）", true},
        {CalendarAuthorizationStatus::WriteOnly, true, "日历权限状态: 已授权（仅写入）", false},
    };
    for (const Case& c : cases) {
        QFile::remove(manager->logFilePath());
        calendar->setAuthorizationStatus(c.status);
        manager->checkPermission();
        EXPECT_EQ(manager->isAuthorized(), c.authorized) << c.line.toStdString();
        EXPECT_EQ(manager->permissionGranted(), c.authorized);
        const QStringList lines = logMessages();
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.first(), c.line);
        EXPECT_EQ(lines.contains("日历权限为仅写入，不执行读取操作"),
                  c.status == CalendarAuthorizationStatus::WriteOnly);
        EXPECT_EQ(lines.filter("开始刷新日历事件").size(), c.reads ? 1 : 0) << c.line.toStdString();
    }
}

TEST_F(CalendarSyncTest, ReminderNotifications)
{
    const Order tenDays = synced("王五", 10);
    ASSERT_TRUE(sync(tenDays));
    settle();
    const QList<UserNotificationRequest> pending = notifications->pendingRequests();
    ASSERT_EQ(pending.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const UserNotificationRequest& r = pending[i];
        EXPECT_EQ(r.identifier, "order_" + OrderCodec::uuidText(tenDays.id) + "_reminder_" + QString::number(i));
        EXPECT_EQ(r.trigger.fireDate(), QDateTime(QDate::currentDate().addDays(10 - QList{7, 3, 1}[i]), QTime(10, 0)));
        EXPECT_EQ(r.title, "拍摄档期提醒");
        EXPECT_EQ(r.subtitle, "王五 · 标准套系");
        EXPECT_EQ(r.body, "拍摄时间：" + QDate::currentDate().addDays(10).toString("yyyy-MM-dd") + " 15:00");
    }
    EXPECT_EQ(logMessages().filter("本地通知已添加: 7天，时间: ").size(), 1);

    const Order twoDays = synced("赵六", 2);
    ASSERT_TRUE(sync(twoDays));
    EXPECT_EQ(pendingIds().filter(OrderCodec::uuidText(twoDays.id)),
              QStringList{"order_" + OrderCodec::uuidText(twoDays.id) + "_reminder_2"});

    manager->setNotificationPermissionGranted(false);
    const Order refused = synced("孙七", 10);
    ASSERT_TRUE(sync(refused));
    EXPECT_TRUE(pendingIds().filter(OrderCodec::uuidText(refused.id)).isEmpty());
    EXPECT_TRUE(logMessages().contains("通知权限未授予，跳过后台通知"));
}

TEST_F(CalendarSyncTest, BatchTwiceKeepsOneEventPerOrderAndItsReminders)
{
    for (int i = 0; i < 5; ++i)
        synced(QString("客户%1").arg(i), 10 + i);
    synced("取消", 12, OrderStatus::cancelled);
    for (int round = 0; round < 2; ++round) {
        const int commitsBefore = calendar->commitCount();
        int count = -1;
        manager->batchSyncAllOrders(orders->orders(), [&](int n) { count = n; });
        settle();
        EXPECT_EQ(count, 5);
        EXPECT_EQ(calendar->commitCount() - commitsBefore, round == 0 ? 1 : 0) << "one write, none for no change";
        const QList<CalendarEvent> events = allEvents(*calendar);
        EXPECT_EQ(events.size(), 5);
        for (const CalendarEvent& e : events) {
            EXPECT_TRUE(orders->hasOrderWithCalendarEventIdentifier(e.identifier)) << "no event left to re-import";
            EXPECT_EQ(appAlarms(e), 3);
        }
        EXPECT_EQ(manager->shootEvents().size(), 5);
        EXPECT_EQ(notifications->pendingRequests().size(), 15) << "withdrawal never takes the new ones";
    }
    EXPECT_TRUE(logMessages().contains("批量同步完成，成功: 5/5"));
}

TEST_F(CalendarSyncTest, ResyncKeepsUserAlarmsAndOneSetOfOurs)
{
    const Order o = synced("周八", 10);
    const QString id = *sync(o);
    CalendarEvent e = *calendar->event(id);
    e.addAlarm(CalendarAlarm::atDate(e.startDate.addSecs(-600), false));
    calendar->saveEvent(e);
    ASSERT_EQ(sync(*orders->orders().cbegin()), id);
    e = *calendar->event(id);
    EXPECT_EQ(appAlarms(e), 3);
    EXPECT_EQ(e.alarms.size(), 4) << "the user's own alarm stays";
}

TEST_F(CalendarSyncTest, StaleRemindersAreWithdrawn)
{
    Order moved = synced("吴九", 10);
    sync(moved);
    moved = orders->orders().first();
    moved.shootDate = moved.shootTime = QDateTime(QDate::currentDate().addDays(20), QTime(9, 0));
    orders->updateOrder(moved);
    sync(moved);
    const QDate newDay = QDate::currentDate().addDays(20);
    for (const UserNotificationRequest& r : notifications->pendingRequests())
        EXPECT_GE(r.trigger.fireDate().date(), newDay.addDays(-7)) << "old reminders are gone";
    EXPECT_EQ(notifications->pendingRequests().size(), 3);

    Order cancelled = orders->orders().first();
    cancelled.status = OrderStatus::cancelled;
    orders->updateOrder(cancelled);
    sync(cancelled);
    const CalendarEvent e = *calendar->event(*orders->orders().first().calendarEventIdentifier);
    EXPECT_EQ(e.title, "【已取消】吴九 - 标准套系");
    EXPECT_EQ(appAlarms(e), 0);
    EXPECT_TRUE(notifications->pendingRequests().isEmpty());

    const Order a = synced("郑十", 10);
    const Order b = synced("冯十一", 11);
    sync(a);
    sync(b);
    const int commitsBefore = calendar->commitCount();
    EXPECT_EQ(orders->deleteOrders({a.id, b.id, QUuid::createUuid()}), 2);
    EXPECT_EQ(calendar->commitCount() - commitsBefore, 1);
    EXPECT_EQ(allEvents(*calendar).size(), 1);
    EXPECT_TRUE(notifications->pendingRequests().isEmpty());
}

// Moments in the log are written in UTC with their offset, whatever zone they came in.
TEST_F(CalendarSyncTest, SyncLogMoments)
{
    const QTimeZone shanghai("Asia/Shanghai");
    const struct {
        QDateTime moment;
        QString text;
    } cases[] = {
        {QDateTime(QDate(2026, 3, 1), QTime(8, 5, 9), shanghai), "2026-03-01 00:05:09 +0000"},
        {QDateTime(QDate(2026, 1, 1), QTime(7, 59, 59), shanghai), "2025-12-31 23:59:59 +0000"},
        {QDateTime(QDate(987, 6, 5), QTime(4, 3, 2), Qt::UTC), "0987-06-05 04:03:02 +0000"},
        {QDateTime(QDate(12026, 6, 5), QTime(4, 3, 2), Qt::UTC), "12026-06-05 04:03:02 +0000"},
        {QDateTime(), " +0000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CalendarSyncLog::dateText(c.moment), c.text) << qPrintable(c.text);
}

// The log keeps its file open between lines; a file removed or moved away
// meanwhile must not swallow the next line.
TEST_F(CalendarSyncTest, SyncLogFollowsItsPathWhileOpen)
{
    CalendarSyncLog log(dir.path() + "/logs/sync.log");
    auto text = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    log.append("一");
    ASSERT_TRUE(QFile::rename(log.filePath(), dir.path() + "/moved.log"));
    log.append("二");
    ASSERT_TRUE(QFile::remove(log.filePath()));
    log.append("三");
    EXPECT_TRUE(text(dir.path() + "/moved.log").endsWith("] 一\n"));
    EXPECT_TRUE(text(log.filePath()).endsWith("] 三\n"));
    EXPECT_EQ(text(log.filePath()).count('\n'), 1);
}

TEST_F(CalendarSyncTest, SyncLogRotatesAndStaysPrivate)
{
    CalendarSyncLog log(dir.path() + "/sync.log");
    const QString line(1000, QChar(u'客'));
    auto writer = [&] {
        for (int i = 0; i < 400; ++i)
            log.append(line);
    };
    std::unique_ptr<QThread> other(QThread::create(writer));
    other->start();
    writer();
    other->wait();
    const QFileInfo current(log.filePath());
    const QFileInfo rotated(log.rotatedPath());
    EXPECT_LE(current.size(), CalendarSyncLog::kMaxBytes);
    EXPECT_GT(rotated.size(), CalendarSyncLog::kMaxBytes / 2);
    EXPECT_EQ(int(current.permissions() & 0x0077), 0) << "holds customer names: owner only";
    QFile f(log.filePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    for (const QByteArray& l : f.readAll().split('\n')) {
        if (!l.isEmpty())
            EXPECT_TRUE(l.startsWith('[') && l.endsWith(line.toUtf8())) << "lines stay whole";
    }
}

// A batch holds its lines and writes them together: nothing before the
// release, then every line whole and in order, the bound still kept.
TEST_F(CalendarSyncTest, SyncLogHeldLinesKeepTheirOrderAndTheBound)
{
    CalendarSyncLog log(dir.path() + "/sync.log");
    auto lines = [](const QString& path) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        QStringList out = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
        for (QString& l : out)
            l = l.mid(l.indexOf("] ") + 2);
        return out;
    };
    const QString line(1000, QChar(u'客'));
    log.append("前");
    log.hold();
    for (int i = 0; i < 500; ++i)
        log.append(line + QString::number(i));
    EXPECT_EQ(lines(log.filePath()), QStringList{"前"});
    log.release();
    EXPECT_LE(QFileInfo(log.filePath()).size(), CalendarSyncLog::kMaxBytes);
    const QStringList all = lines(log.rotatedPath()) + lines(log.filePath());
    ASSERT_EQ(all.size(), 501);
    EXPECT_EQ(all.first(), "前");
    for (int i = 0; i < 500; ++i)
        EXPECT_EQ(all[i + 1], line + QString::number(i));
    log.append("后");
    EXPECT_EQ(lines(log.filePath()).last(), "后");
}

// However much a batch logs, it holds no more than the log file and its
// rotated copy keep, and writes the newest lines at its end.
TEST_F(CalendarSyncTest, SyncLogHoldsNoMoreThanItsFilesKeep)
{
    CalendarSyncLog log(dir.path() + "/sync.log");
    const QString line(1000, QChar(u'客'));
    const qint64 lineBytes = line.toUtf8().size() + 40; // with its stamp and number
    log.hold();
    qint64 appended = 0;
    qint64 most = 0;
    int count = 0;
    while (appended <= 3 * CalendarSyncLog::kMaxBytes) {
        log.append(line + QString::number(count++));
        appended += lineBytes - 40;
        most = std::max(most, log.heldBytes());
    }
    EXPECT_LE(most, 2 * CalendarSyncLog::kMaxBytes + lineBytes);
    EXPECT_GE(most, 2 * CalendarSyncLog::kMaxBytes - lineBytes) << "it holds what the files keep";
    log.release();
    EXPECT_EQ(log.heldBytes(), 0);
    EXPECT_LE(QFileInfo(log.filePath()).size(), CalendarSyncLog::kMaxBytes);
    QFile f(log.filePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().endsWith((line + QString::number(count - 1) + '\n').toUtf8()));
}

TEST_F(CalendarSyncTest, RealCalendarFilesKeepOneSetOfAlarms)
{
    IcsCalendarStore files(dir.path() + "/calendars");
    makeManager(files);
    const Order o = synced("陈十二", 10);
    const QString id = *sync(o);
    sync(orders->orders().first());
    IcsCalendarStore reread(files.folder());
    const std::optional<CalendarEvent> e = reread.event(id);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->title, "陈十二 - 标准套系");
    EXPECT_EQ(appAlarms(*e), 3);
    EXPECT_EQ(reread.calendar(e->calendarIdentifier)->title, "拍摄档期");
    orders->deleteOrder(orders->orders().first());
    EXPECT_FALSE(IcsCalendarStore(files.folder()).event(id));
    manager.reset();
}

}

namespace {

// An event an earlier version wrote without naming its order gets the name
// when the order is synced again, so another session does not import it as
// a second order.
TEST_F(CalendarSyncTest, AnEventWithoutItsOrderNameGetsItAtTheNextSync)
{
    IcsCalendarStore files(dir.path() + "/calendars");
    makeManager(files);
    manager->refreshEvents(); // makes the dedicated calendar
    settle();
    ASSERT_EQ(files.calendars().size(), 1);
    Order o = synced("秦十三", 6);
    CalendarEvent old;
    old.calendarIdentifier = files.calendars().first().identifier;
    old.title = "秦十三 - 标准套系";
    old.startDate = *CalendarSyncManager::shootStart(o);
    old.endDate = old.startDate.addSecs(7200);
    ASSERT_TRUE(files.saveEvent(old));
    orders->setCalendarEventIdentifiers({{o.id, old.identifier}});
    ASSERT_TRUE(IcsCalendarStore(files.folder()).event(old.identifier)->orderIdentifier.isEmpty());

    EXPECT_EQ(sync(*orders->order(o.id)), old.identifier);
    const std::optional<CalendarEvent> reread = IcsCalendarStore(files.folder()).event(old.identifier);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->orderIdentifier, OrderCodec::uuidText(o.id));
    manager.reset();
}

}
