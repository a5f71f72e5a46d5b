#pragma once

#include "orderbook/Package.h"
#include "orderbook/ReminderRule.h"
#include "platform/SystemSettingsHook.h"

#include <QObject>
#include <QTime>
#include <QUuid>

#include <functional>
#include <optional>

class CalendarSyncManager;
class OrderManager;
class PackageManager;
class UserDefaults;
class UserNotificationCenter;

// The rules behind the schedule settings sheet, apart from its widgets: the
// daily limit, the week start, the calendar and notification switches with
// their permission flows, the reminder rule editor, the package editor and
// the batch calendar sync. It lives as long as the schedule screen, so open
// sections and half-typed input survive closing the sheet. Main thread only.
class ScheduleSettingsState : public QObject
{
    Q_OBJECT
public:
    static constexpr int minDailyLimit = 1;
    static constexpr int maxDailyLimit = 20;
    static constexpr int maxRules = 6;
    static constexpr int maxRuleValue = 30;

    ScheduleSettingsState(UserDefaults& defaults, OrderManager& orders, PackageManager& packages,
                          CalendarSyncManager& sync, UserNotificationCenter& notifications, QObject* parent = nullptr);

    // --- Sections and alerts (view state) ---
    bool showPackageSettings = false;
    bool showCalendarSyncInfo = false;
    bool showCustomReminderRules = false;
    bool calendarPermissionDenied = false;
    bool notificationPermissionDenied = false;
    bool showPermissionAlert = false;
    QString permissionAlertMessage;
    bool showMaxReminderAlert = false;
    void toggle(bool& flag);

    // The permission check each time the sheet is shown.
    void sheetShown();
    // "前往设置" of the alert: the page of the permission that raised it.
    void openAlertSettings();
    static void openSettingsPage(SystemSettingsHook::Page page);

    // --- Schedule options ---
    // The limit the order store enforces; steps are clamped to 1..20.
    int dailyLimit() const;
    QString dailyLimitText() const;
    void stepDailyLimit(int delta);
    bool weekStartsOnMonday() const;
    void setWeekStartsOnMonday(bool on);
    bool calendarSyncEnabled() const;
    void setCalendarSyncEnabled(bool on);
    // New orders sync by default; switching it on asks for calendar access.
    bool syncCalendarDefault() const;
    void setSyncCalendarDefault(bool on);
    // Switching on asks for notification permission and stores true only once
    // granted; switching off also withdraws the scheduled reminders.
    bool localNotificationEnabled() const;
    void setLocalNotificationEnabled(bool on);

    // --- Reminder rules (a working copy, written back after each change) ---
    const QList<ReminderRule>& rules() const { return m_rules; }
    void loadRules();
    QString ruleCountText() const;
    // The five lines of "日历同步说明": they promise the phone only when the
    // dedicated calendar lies in an online account.
    QStringList syncInfoLines() const;
    void addRule();
    void setRuleValue(const QUuid& id, int value);
    void setRuleUnit(const QUuid& id, ReminderUnit unit);
    void setRuleTime(const QUuid& id, std::optional<int> hour, std::optional<int> minute);
    void deleteRule(const QUuid& id);
    // The time a day rule fires at: its own, else 09:00 as the sync does.
    static QTime displayedTime(const ReminderRule& rule);

    // --- Packages ---
    QList<Package> packages() const;
    void movePackageUp(int index);
    void movePackageDown(int index);
    std::optional<QUuid> editingNamePackageId;
    QString editingNameText;
    void beginRename(const QUuid& id);
    void commitRename();
    // Text typed by the user into a price or deposit field ("" is 0).
    void setPackagePrice(const QUuid& id, const QString& text);
    void setPackageDeposit(const QUuid& id, const QString& text);
    void deletePackage(const QUuid& id);
    bool showDeleteMode = false;
    bool showAddPackageInput = false;
    QString newPackageName;
    QString newPackagePrice = QStringLiteral("0");
    QString newPackageDeposit = QStringLiteral("0");
    void toggleAddPackageInput();
    void confirmNewPackage();
    // An amount as typed: a plain decimal number, or 0 for an empty text.
    static std::optional<double> readAmount(const QString& text);

    // --- Batch calendar sync ---
    bool batchRunning() const { return m_batchRunning; }
    // Writes every valid order; ignored while a run goes.
    void runBatchSync();
    // What the alert after a run says: orders the calendar's server has not
    // taken are waiting, never synced.
    QString batchResultTitle() const;
    QString batchResultText(int count) const;

Q_SIGNALS:
    void changed();
    void rulesCountChanged();
    void addPackageInputOpened();
    void batchFinished(int count);

private:
    int indexOfRule(const QUuid& id) const;
    void saveRules();
    void raisePermissionAlert(SystemSettingsHook::Page page, const QString& message);
    void updatePackageAmount(const QUuid& id, const QString& text, bool price);

    UserDefaults& m_defaults;
    OrderManager& m_orders;
    PackageManager& m_packages;
    CalendarSyncManager& m_sync;
    UserNotificationCenter& m_notifications;
    QList<ReminderRule> m_rules;
    SystemSettingsHook::Page m_alertPage = SystemSettingsHook::Page::CalendarPrivacy;
    bool m_batchRunning = false;
    // Why the last run's orders could not reach the calendar's server, and how many wait.
    QString m_batchServerProblem;
    QString m_batchFailure;
    int m_batchWaiting = 0;
};
