#include "ScheduleSettingsState.h"

#include "orderbook/CalendarSyncManager.h"
#include "orderbook/Money.h"
#include "orderbook/OrderManager.h"
#include "orderbook/OrderbookKeys.h"
#include "orderbook/PackageManager.h"
#include "platform/CalendarStore.h"
#include "schedule/ScheduleKeys.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"
#include "ui/WorkspaceUrl.h"

#include <QPointer>

#include <algorithm>

namespace {

QDateTime todayAt(int hour, int minute)
{
    return QDateTime(QDate::currentDate(), QTime(hour, minute));
}

// Permission answers may come at once; the result step always runs later on
// the main thread, in the context of the preference store so its writes
// happen even when the screen has gone meanwhile.
template <typename Fn>
void later(UserDefaults& defaults, Fn step)
{
    QMetaObject::invokeMethod(&defaults, std::move(step), Qt::QueuedConnection);
}

}

ScheduleSettingsState::ScheduleSettingsState(UserDefaults& defaults, OrderManager& orders, PackageManager& packages,
                                             CalendarSyncManager& sync, UserNotificationCenter& notifications,
                                             QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_orders(orders)
    , m_packages(packages)
    , m_sync(sync)
    , m_notifications(notifications)
{
    // Any writer of these keys shows in the sheet at once.
    connect(&m_packages, &PackageManager::packagesChanged, this, &ScheduleSettingsState::changed);
    connect(&m_sync, &CalendarSyncManager::calendarSyncEnabledChanged, this, &ScheduleSettingsState::changed);
    connect(&m_defaults, &UserDefaults::changed, this, [this](const QString& key) {
        static const QStringList watched = {QString(OrderbookKeys::syncCalendarDefault), QString(ScheduleKeys::weekStartsOnMonday),
                                            QString(OrderbookKeys::maxOrdersPerDay),
                                            QLatin1String(CalendarSyncManager::localNotificationEnabledKey),
                                            QLatin1String(CalendarSyncManager::reminderRulesKey)};
        if (watched.contains(key))
            Q_EMIT changed();
    });
}

void ScheduleSettingsState::toggle(bool& flag)
{
    flag = !flag;
    Q_EMIT changed();
}

// --- Permissions ---

void ScheduleSettingsState::sheetShown()
{
    m_sync.checkPermission();
    const CalendarAuthorizationStatus status = m_sync.eventStore().authorizationStatus();
    calendarPermissionDenied =
        status == CalendarAuthorizationStatus::Denied || status == CalendarAuthorizationStatus::Restricted;
    if (calendarPermissionDenied && syncCalendarDefault())
        m_defaults.set(QString(OrderbookKeys::syncCalendarDefault), false);
    m_notifications.getAuthorizationStatus(this, [this](UserNotificationAuthorizationStatus s) {
        notificationPermissionDenied = s == UserNotificationAuthorizationStatus::Denied;
        Q_EMIT changed();
    });
    Q_EMIT changed();
}

void ScheduleSettingsState::raisePermissionAlert(SystemSettingsHook::Page page, const QString& message)
{
    m_alertPage = page;
    permissionAlertMessage = message;
    showPermissionAlert = true;
}

void ScheduleSettingsState::openAlertSettings()
{
    showPermissionAlert = false;
    openSettingsPage(m_alertPage);
    Q_EMIT changed();
}

void ScheduleSettingsState::openSettingsPage(SystemSettingsHook::Page page)
{
    openSystemSettingsPage(page);
}

QStringList ScheduleSettingsState::syncInfoLines() const
{
    const bool online = m_sync.syncsToPhone();
    return {
        QStringLiteral("① 开启同步后需授权日历权限，订单方可写入系统日历"),
        online ? QStringLiteral("② 日历优先创建至云端账户，登录同一账户即可自动同步至手机、平板等设备")
               : QStringLiteral("② 专属日历「拍摄档期」目前保存在这台电脑上，不会同步到手机"),
        QStringLiteral("③ 新增订单自动同步；历史订单需进入编辑页重新保存一次方可同步"),
        QStringLiteral("④ 仅开启「新建订单同步到系统日历」开关后，自定义提醒规则才会跟随日程自动同步，无需在系统日历中手动设置"),
        online ? QStringLiteral("⑤ 若手机未显示，请确认两端登录同一账户且已开启云端日历")
        // Without the calendar service there is no online account to add.
        : m_sync.eventStore().supportsOnlineAccounts()
            ? QStringLiteral("⑤ 如需同步到手机：在系统设置中添加在线日历账户（如 Google、Nextcloud），并在该账户中新建名为「拍摄档期」的日历")
            : QStringLiteral("⑤ 本机没有系统日历服务，无法添加在线日历账户，档期不会同步到手机"),
    };
}

// --- Schedule options ---

int ScheduleSettingsState::dailyLimit() const
{
    return m_orders.maxOrdersPerDay();
}

QString ScheduleSettingsState::dailyLimitText() const
{
    return QString::number(dailyLimit()) + QStringLiteral(" 单/天");
}

void ScheduleSettingsState::stepDailyLimit(int delta)
{
    const int next = std::clamp(dailyLimit() + delta, minDailyLimit, maxDailyLimit);
    if (next != dailyLimit() || !m_defaults.hasStoredValue(QString(OrderbookKeys::maxOrdersPerDay)))
        m_defaults.set(QString(OrderbookKeys::maxOrdersPerDay), next);
    Q_EMIT changed();
}

bool ScheduleSettingsState::weekStartsOnMonday() const
{
    return m_defaults.value(ScheduleKeys::weekStartsOnMonday);
}

void ScheduleSettingsState::setWeekStartsOnMonday(bool on)
{
    m_defaults.set(QString(ScheduleKeys::weekStartsOnMonday), on);
    Q_EMIT changed();
}

bool ScheduleSettingsState::calendarSyncEnabled() const
{
    return m_sync.calendarSyncEnabled();
}

void ScheduleSettingsState::setCalendarSyncEnabled(bool on)
{
    m_sync.setCalendarSyncEnabled(on);
    Q_EMIT changed();
}

bool ScheduleSettingsState::syncCalendarDefault() const
{
    return m_defaults.boolean(QString(OrderbookKeys::syncCalendarDefault));
}

void ScheduleSettingsState::setSyncCalendarDefault(bool on)
{
    m_defaults.set(QString(OrderbookKeys::syncCalendarDefault), on);
    Q_EMIT changed();
    if (!on)
        return;
    QPointer<ScheduleSettingsState> self(this);
    UserDefaults* defaults = &m_defaults;
    m_sync.requestPermission([self, defaults](bool granted) {
        later(*defaults, [self, defaults, granted] {
            if (!granted)
                defaults->set(QString(OrderbookKeys::syncCalendarDefault), false);
            if (!self)
                return;
            self->calendarPermissionDenied = !granted;
            if (!granted)
                self->raisePermissionAlert(SystemSettingsHook::Page::CalendarPrivacy,
                                           QStringLiteral("日历权限已关闭，请前往系统设置开启"));
            Q_EMIT self->changed();
        });
    });
}

bool ScheduleSettingsState::localNotificationEnabled() const
{
    return m_sync.localNotificationEnabled();
}

void ScheduleSettingsState::setLocalNotificationEnabled(bool on)
{
    if (!on) {
        m_sync.setLocalNotificationEnabled(false);
        Q_EMIT changed();
        return;
    }
    QPointer<ScheduleSettingsState> self(this);
    QPointer<CalendarSyncManager> sync(&m_sync);
    m_sync.requestNotificationPermission([self, sync, defaults = &m_defaults](bool granted) {
        later(*defaults, [self, sync, granted] {
            if (granted && sync)
                sync->setLocalNotificationEnabled(true);
            if (!self)
                return;
            self->notificationPermissionDenied = !granted;
            if (!granted)
                self->raisePermissionAlert(SystemSettingsHook::Page::Notifications,
                                           QStringLiteral("通知权限已关闭，请前往系统设置开启"));
            Q_EMIT self->changed();
        });
    });
}

// --- Reminder rules ---

void ScheduleSettingsState::loadRules()
{
    const qsizetype before = m_rules.size();
    m_rules = m_sync.reminderRules();
    Q_EMIT changed();
    if (m_rules.size() != before)
        Q_EMIT rulesCountChanged();
}

QString ScheduleSettingsState::ruleCountText() const
{
    return QStringLiteral("%1条").arg(m_sync.reminderRules().size());
}

int ScheduleSettingsState::indexOfRule(const QUuid& id) const
{
    for (int i = 0; i < m_rules.size(); ++i) {
        if (m_rules[i].id == id)
            return i;
    }
    return -1;
}

void ScheduleSettingsState::saveRules()
{
    m_sync.setReminderRules(m_rules);
    Q_EMIT changed();
}

void ScheduleSettingsState::addRule()
{
    if (m_rules.size() >= maxRules) {
        showMaxReminderAlert = true;
        Q_EMIT changed();
        return;
    }
    m_rules.append(ReminderRule(1, ReminderUnit::day, todayAt(10, 0)));
    saveRules();
    Q_EMIT rulesCountChanged();
}

void ScheduleSettingsState::setRuleValue(const QUuid& id, int value)
{
    const int i = indexOfRule(id);
    if (i < 0)
        return;
    m_rules[i].value = std::clamp(value, 0, maxRuleValue);
    saveRules();
}

void ScheduleSettingsState::setRuleUnit(const QUuid& id, ReminderUnit unit)
{
    const int i = indexOfRule(id);
    if (i < 0)
        return;
    ReminderRule& rule = m_rules[i];
    rule.unit = unit;
    if (unit != ReminderUnit::day)
        rule.triggerTime.reset();
    else if (!rule.triggerTime)
        rule.triggerTime = todayAt(10, 0);
    saveRules();
}

QTime ScheduleSettingsState::displayedTime(const ReminderRule& rule)
{
    if (rule.triggerTime && rule.triggerTime->isValid()) {
        const QTime t = rule.triggerTime->toLocalTime().time();
        return QTime(t.hour(), t.minute());
    }
    return QTime(9, 0);
}

void ScheduleSettingsState::setRuleTime(const QUuid& id, std::optional<int> hour, std::optional<int> minute)
{
    const int i = indexOfRule(id);
    if (i < 0)
        return;
    ReminderRule& rule = m_rules[i];
    const QTime shown = displayedTime(rule);
    const QDate day = rule.triggerTime && rule.triggerTime->isValid() ? rule.triggerTime->toLocalTime().date()
                                                                      : QDate::currentDate();
    const QDateTime next(day, QTime(std::clamp(hour.value_or(shown.hour()), 0, 23),
                                    std::clamp(minute.value_or(shown.minute()), 0, 59)));
    rule.triggerTime = next.isValid() ? std::optional<QDateTime>(next) : std::nullopt;
    saveRules();
}

void ScheduleSettingsState::deleteRule(const QUuid& id)
{
    const int i = indexOfRule(id);
    if (m_rules.size() < 2 || i < 0)
        return;
    m_rules.removeAt(i);
    saveRules();
    Q_EMIT rulesCountChanged();
}

// --- Packages ---

QList<Package> ScheduleSettingsState::packages() const
{
    return m_packages.packages();
}

void ScheduleSettingsState::movePackageUp(int index)
{
    if (index >= 1 && index < m_packages.packages().size())
        m_packages.movePackage({index}, index - 1);
}

void ScheduleSettingsState::movePackageDown(int index)
{
    if (index >= 0 && index < m_packages.packages().size() - 1)
        m_packages.movePackage({index}, index + 2);
}

void ScheduleSettingsState::beginRename(const QUuid& id)
{
    for (const Package& p : m_packages.packages()) {
        if (p.id == id) {
            editingNamePackageId = id;
            editingNameText = p.name;
            Q_EMIT changed();
            return;
        }
    }
}

void ScheduleSettingsState::commitRename()
{
    if (!editingNamePackageId)
        return;
    const QUuid id = *editingNamePackageId;
    editingNamePackageId.reset();
    // A name of blanks reads as no name at all: the old one stays.
    if (const QString name = editingNameText.trimmed(); !name.isEmpty())
        m_packages.updatePackageName(id, name);
    Q_EMIT changed();
}

std::optional<double> ScheduleSettingsState::readAmount(const QString& text)
{
    // The same rule as every amount field: empty is 0, above the limit nothing.
    const Money::TypedAmount amount = Money::readTyped(text);
    return amount.ok() ? std::optional<double>(amount.value) : std::nullopt;
}

void ScheduleSettingsState::updatePackageAmount(const QUuid& id, const QString& text, bool price)
{
    const std::optional<double> amount = readAmount(text);
    if (!amount)
        return;
    for (const Package& p : m_packages.packages()) {
        if (p.id == id) {
            m_packages.updatePackage(id, price ? *amount : p.price, price ? p.deposit : *amount);
            return;
        }
    }
}

void ScheduleSettingsState::setPackagePrice(const QUuid& id, const QString& text)
{
    updatePackageAmount(id, text, true);
}

void ScheduleSettingsState::setPackageDeposit(const QUuid& id, const QString& text)
{
    updatePackageAmount(id, text, false);
}

void ScheduleSettingsState::deletePackage(const QUuid& id)
{
    m_packages.deletePackage(id);
}

void ScheduleSettingsState::toggleAddPackageInput()
{
    showAddPackageInput = !showAddPackageInput;
    if (!showAddPackageInput) {
        newPackageName.clear();
        newPackagePrice = newPackageDeposit = QStringLiteral("0");
    }
    Q_EMIT changed();
    if (showAddPackageInput)
        Q_EMIT addPackageInputOpened();
}

void ScheduleSettingsState::confirmNewPackage()
{
    // Fields that would store something other than they show keep the row
    // open; they already show why.
    const std::optional<double> price = readAmount(newPackagePrice);
    const std::optional<double> deposit = readAmount(newPackageDeposit);
    const QString name = newPackageName.trimmed();
    if (name.isEmpty() || !price || !deposit)
        return;
    m_packages.addPackage(name, *price, *deposit);
    newPackageName.clear();
    newPackagePrice = newPackageDeposit = QStringLiteral("0");
    showAddPackageInput = false;
    Q_EMIT changed();
}

// --- Batch calendar sync ---

void ScheduleSettingsState::runBatchSync()
{
    if (m_batchRunning)
        return;
    m_batchRunning = true;
    Q_EMIT changed();
    QPointer<ScheduleSettingsState> self(this);
    m_sync.batchSyncAllOrders(m_orders.orders(), [self](int count) {
        if (!self)
            return;
        // Read when the run ends: what the service only keeps on this
        // computer is waiting, whatever the count of events it took, and so
        // is what the calendar refused.
        const QString problem = self->m_sync.calendarServerProblem();
        const QString failure = self->m_sync.lastCalendarFailure();
        const int waiting = problem.isEmpty() && failure.isEmpty() ? 0 : self->m_sync.pendingCalendarOrders();
        QMetaObject::invokeMethod(
            self,
            [self, count, problem, failure, waiting] {
                self->m_batchRunning = false;
                self->m_batchServerProblem = problem;
                self->m_batchFailure = failure;
                self->m_batchWaiting = waiting;
                Q_EMIT self->changed();
                Q_EMIT self->batchFinished(count);
            },
            Qt::QueuedConnection);
    });
}

QString ScheduleSettingsState::batchResultTitle() const
{
    if (!m_batchServerProblem.isEmpty())
        return QStringLiteral("日历服务器无法连接");
    return m_batchWaiting > 0 ? QStringLiteral("批量同步未完成") : QStringLiteral("批量同步完成");
}

QString ScheduleSettingsState::batchResultText(int count) const
{
    if (!m_batchServerProblem.isEmpty())
        return QStringLiteral("%1 个订单等待同步到系统日历（%2），服务器恢复后自动同步")
            .arg(m_batchWaiting)
            .arg(m_batchServerProblem);
    if (m_batchWaiting > 0)
        return QStringLiteral("已写入 %1 个订单，%2 个订单未能写入系统日历（%3），稍后自动重试")
            .arg(count)
            .arg(m_batchWaiting)
            .arg(m_batchFailure);
    return QStringLiteral("成功同步 %1 个订单到系统日历").arg(count);
}
