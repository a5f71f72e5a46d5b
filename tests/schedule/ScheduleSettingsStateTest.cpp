#include "ScheduleSettingsFixture.h"

#include "NotificationTestBus.h"
#include "platform/IcsCalendarStore.h"

#include <QJsonArray>

namespace {

using Page = SystemSettingsHook::Page;
using Status = CalendarAuthorizationStatus;
using ScheduleSettingsStateTest = ScheduleSettingsFixture;

const QString kSyncDefault = OrderbookKeys::syncCalendarDefault;
const QString kCalendarOff = "日历权限已关闭，请前往系统设置开启";
const QString kNotificationsOff = "通知权限已关闭，请前往系统设置开启";

TEST_F(ScheduleSettingsStateTest, DefaultSyncAsksForCalendarAccess)
{
    struct Case {
        const char* what;
        Status status;
        bool answer; // for an undetermined status
        bool kept;
    };
    const QList<Case> cases = {
        {"full", Status::FullAccess, false, true},      {"write-only", Status::WriteOnly, false, true},
        {"granted", Status::NotDetermined, true, true}, {"refused", Status::NotDetermined, false, false},
        {"denied", Status::Denied, true, false},        {"restricted", Status::Restricted, true, false},
    };
    for (const Case& c : cases) {
        makeState();
        pagesOpened.clear();
        calendar->setAuthorizationStatus(c.status);
        calendar->setAccessRequestAnswer(c.answer);
        state->setSyncCalendarDefault(true);
        answers();
        EXPECT_EQ(store->boolean(kSyncDefault), c.kept) << c.what;
        EXPECT_EQ(state->calendarPermissionDenied, !c.kept) << c.what;
        EXPECT_EQ(state->showPermissionAlert, !c.kept) << c.what;
        EXPECT_EQ(pagesOpened, c.kept ? QList<Page>{} : QList<Page>{Page::CalendarPrivacy}) << c.what;
        if (!c.kept) {
            EXPECT_EQ(state->permissionAlertMessage, kCalendarOff);
            state->openAlertSettings();
            EXPECT_EQ(pagesOpened.last(), Page::CalendarPrivacy);
        }
    }
    // The check on showing turns the default off when access is refused.
    store->set(kSyncDefault, true);
    calendar->setAuthorizationStatus(Status::Denied);
    state->sheetShown();
    EXPECT_FALSE(store->boolean(kSyncDefault));
    EXPECT_TRUE(state->calendarPermissionDenied);
}

TEST_F(ScheduleSettingsStateTest, NotificationSwitchFollowsThePermission)
{
    NotificationTestBus bus;
    for (bool service : {false, true}) {
        if (service)
            bus.startService();
        notifications = std::make_unique<UserNotificationCenter>(
            dir.path() + "/pending.json", QDBusConnection::connectToBus(bus.address(), service ? "with" : "without"));
        makeManager(*calendar);
        store->remove(CalendarSyncManager::localNotificationEnabledKey);
        makeState();
        state->setLocalNotificationEnabled(true);
        QTRY_VERIFY_WITH_TIMEOUT(state->notificationPermissionDenied == !service && state->showPermissionAlert == !service
                                     && store->boolean(CalendarSyncManager::localNotificationEnabledKey) == service,
                                 5000);
        if (!service) {
            EXPECT_EQ(state->permissionAlertMessage, kNotificationsOff);
            state->openAlertSettings();
            EXPECT_EQ(pagesOpened, QList<Page>{Page::Notifications}) << "the page of the permission that asked";
        }
    }
    // Off withdraws the reminders already scheduled.
    manager->setNotificationPermissionGranted(true);
    ASSERT_TRUE(sync(synced("张三", 10)));
    ASSERT_FALSE(pendingIds().isEmpty());
    state->setLocalNotificationEnabled(false);
    EXPECT_FALSE(store->boolean(CalendarSyncManager::localNotificationEnabledKey));
    EXPECT_TRUE(pendingIds().filter(QRegularExpression("^order_")).isEmpty());
}

TEST_F(ScheduleSettingsStateTest, ReminderRulesAreStoredAfterEachEdit)
{
    auto storedRules = [&] { return storedArray(CalendarSyncManager::reminderRulesKey); };
    state->loadRules();
    ASSERT_EQ(state->rules().size(), 3);
    EXPECT_EQ(state->ruleCountText(), "3条");
    for (const ReminderRule& r : state->rules())
        EXPECT_EQ(ScheduleSettingsState::displayedTime(r), QTime(10, 0));
    EXPECT_FALSE(store->hasStoredValue(CalendarSyncManager::reminderRulesKey));

    state->addRule();
    ASSERT_EQ(storedRules().size(), 4);
    const QUuid id = state->rules().last().id;
    state->setRuleUnit(id, ReminderUnit::hour);
    EXPECT_FALSE(storedRules().last().toObject().contains("triggerTime"));
    state->setRuleUnit(id, ReminderUnit::day);
    EXPECT_EQ(ScheduleSettingsState::displayedTime(state->rules().last()), QTime(10, 0));

    // A day rule without a time fires at 09:00, so it shows and edits from 09:00.
    ReminderRule bare(2, ReminderUnit::day);
    manager->setReminderRules({bare});
    state->loadRules();
    EXPECT_EQ(ScheduleSettingsState::displayedTime(state->rules().first()), QTime(9, 0));
    state->setRuleTime(bare.id, std::nullopt, 30);
    EXPECT_EQ(manager->reminderRules().first().triggerTime->time(), QTime(9, 30));

    state->deleteRule(bare.id);
    EXPECT_EQ(manager->reminderRules().size(), 1) << "the last rule is kept";
    for (int i = 0; i < 6; ++i)
        state->addRule();
    EXPECT_EQ(state->rules().size(), 6);
    EXPECT_TRUE(state->showMaxReminderAlert);
    EXPECT_EQ(storedRules().size(), 6);
}

TEST_F(ScheduleSettingsStateTest, DailyLimitShowsWhatTheStoreEnforces)
{
    const QList<std::tuple<std::optional<int>, QString, int, int>> cases = {
        // stored, label, after a step up, after a step down
        {std::nullopt, "10 单/天", 11, 9},
        {3, "3 单/天", 4, 2},
        {0, "10 单/天", 11, 9},
        {50, "50 单/天", 20, 20},
        {20, "20 单/天", 20, 19},
        {1, "1 单/天", 2, 1},
    };
    for (const auto& [stored, label, up, down] : cases) {
        auto reset = [&] {
            if (stored)
                store->set(OrderbookKeys::maxOrdersPerDay, *stored);
            else
                store->remove(OrderbookKeys::maxOrdersPerDay);
        };
        reset();
        EXPECT_EQ(state->dailyLimitText(), label);
        state->stepDailyLimit(1);
        EXPECT_EQ(store->integer(OrderbookKeys::maxOrdersPerDay), up) << label.toStdString();
        reset();
        state->stepDailyLimit(-1);
        EXPECT_EQ(store->integer(OrderbookKeys::maxOrdersPerDay), down) << label.toStdString();
    }
}

TEST_F(ScheduleSettingsStateTest, PackageEdits)
{
    const Package first = packages->packages().first();
    const QList<std::pair<QString, std::optional<double>>> amounts = {
        {"12.5", 12.5}, {"-5", {}}, {"-0", {}}, {"1e3", 1000}, {"", 0},
        {"12a", {}},    {" 12", {}}, {"inf", {}},  {"0x10", {}},
    };
    for (const auto& [text, read] : amounts) {
        packages->updatePackage(first.id, 7, 3);
        state->setPackagePrice(first.id, text);
        EXPECT_EQ(packages->packages().first().price, read.value_or(7)) << text.toStdString();
        EXPECT_EQ(packages->packages().first().deposit, 3);
    }

    state->toggleAddPackageInput();
    state->confirmNewPackage();
    EXPECT_EQ(packages->packages().size(), 8) << "an empty name adds nothing";
    // A blank name or an amount that does not read adds nothing; the row stays for mending.
    const struct { QString name, price, deposit; } refused[] = {
        {"   ", "99", "0"}, {"外景", "99", "abc"}, {"外景", "1,000", "0"}};
    for (const auto& r : refused) {
        state->newPackageName = r.name;
        state->newPackagePrice = r.price;
        state->newPackageDeposit = r.deposit;
        state->confirmNewPackage();
        EXPECT_EQ(packages->packages().size(), 8) << (r.name + "|" + r.price + "|" + r.deposit).toStdString();
        EXPECT_TRUE(state->showAddPackageInput);
    }
    state->newPackagePrice = "99";
    state->newPackageDeposit = "";
    state->confirmNewPackage();
    EXPECT_EQ(packages->packages().last().name, "外景");
    EXPECT_EQ(packages->packages().last().price, 99);
    EXPECT_EQ(packages->packages().last().deposit, 0);
    EXPECT_FALSE(state->showAddPackageInput);

    const QUuid added = packages->packages().last().id;
    state->movePackageUp(8);
    state->movePackageDown(0);
    EXPECT_EQ(packages->packages().at(7).id, added);
    EXPECT_EQ(packages->packages().at(1).id, first.id);

    state->beginRename(first.id);
    state->editingNameText = "";
    state->commitRename();
    EXPECT_EQ(packages->packages().at(1).name, first.name) << "an empty name keeps the old one";
    state->beginRename(first.id);
    state->editingNameText = "丢掉";
    state->beginRename(added);
    state->editingNameText = "新名字";
    state->commitRename();
    EXPECT_EQ(packages->packages().at(1).name, first.name) << "the first edit is dropped";
    EXPECT_EQ(packages->packages().at(7).name, "新名字");

    state->deletePackage(first.id);
    state->deletePackage(added);
    EXPECT_EQ(packages->packages().size(), 8) << "built-ins stay";
}

TEST_F(ScheduleSettingsStateTest, SyncNotesOfferOnlyTheStepsThisComputerHas)
{
    // The last note tells how the bookings reach the phone; without the
    // calendar service there is no online account to add.
    for (bool service : {false, true}) {
        calendar->setSupportsOnlineAccounts(service);
        makeState();
        const QString last = state->syncInfoLines().last();
        EXPECT_EQ(last.contains("添加在线日历账户（"), service) << last.toStdString();
        EXPECT_EQ(last.contains("不会同步到手机"), !service) << last.toStdString();
    }
}

TEST_F(ScheduleSettingsStateTest, BatchSyncWritesValidOrdersOnce)
{
    IcsCalendarStore files(dir.path() + "/calendars");
    makeManager(files);
    makeState();
    synced("取消", 3, OrderStatus::cancelled);
    Order off = synced("不同步", 4);
    off.syncToCalendar = false;
    orders->updateOrder(off);
    synced("有效", 5);

    QList<int> results;
    QObject::connect(state.get(), &ScheduleSettingsState::batchFinished, [&](int n) { results.append(n); });
    state->runBatchSync();
    EXPECT_TRUE(state->batchRunning());
    state->runBatchSync(); // locked while the run goes
    answers();
    EXPECT_EQ(results, QList<int>{1});
    QStringList ids;
    for (const Order& o : orders->orders()) {
        if (o.calendarEventIdentifier)
            ids.append(*o.calendarEventIdentifier);
    }
    EXPECT_EQ(ids.size(), 1);
    EXPECT_EQ(allEvents(files).size(), 1);
    EXPECT_EQ(allEvents(files).first().identifier, ids.value(0));
    manager->refreshEvents();
    answers();
    EXPECT_EQ(orders->orders().size(), 3) << "a refresh imports nothing";

    state->setCalendarSyncEnabled(false);
    state->runBatchSync();
    answers();
    EXPECT_EQ(results, (QList<int>{1, 0}));
}

}
