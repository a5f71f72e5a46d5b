#pragma once

#include "platform/PreferenceKey.h"

// The order book's stored lists and defaults.
namespace OrderbookKeys {
inline constexpr StoredKey orders{"schedule_orders_v1"};
inline constexpr StoredKey restDays{"schedule_restdays_v1"};
inline constexpr StoredKey packages{"schedulePackages"};
// Below 1 (or unreadable) means the default of 10.
inline constexpr StoredKey maxOrdersPerDay{"scheduleMaxOrdersPerDay"};
inline constexpr StoredKey syncCalendarDefault{"scheduleSyncCalendarDefault"};
inline const PreferenceKey<QString> reminderDefault{"scheduleReminderDefault", QStringLiteral("提前1天")};
inline constexpr PreferenceKey<bool> packageDepositMigrated{"packageDepositMigratedTo300", false};
inline constexpr StoredKey reminderRules{"scheduleReminderRules"};
inline constexpr StoredKey calendarSyncEnabled{"calendarSyncEnabled"};
inline constexpr StoredKey localNotificationEnabled{"scheduleLocalNotificationEnabled"};
// Events of deleted orders not yet removed from the calendar, as earlier
// versions kept them; read once into the pending calendar work.
inline constexpr StoredKey deletedOrderEvents{"calendarDeletedOrderEvents"};
// Calendar work not yet done: {"orders": [order ids whose event is to be
// written], "removeEvents": [event ids to remove]}; retried at every refresh.
inline constexpr StoredKey pendingCalendarWork{"calendarPendingWork"};
// Left by a backup import for the calendar to follow the restored book:
// {"heldEvents": [event ids the book held before], "orders": [its order ids]}.
inline constexpr StoredKey calendarRestoreFollowUp{"calendarRestoreFollowUp"};
// Orders this book let go (deleted, or taken away by a restore), newest last:
// [order ids]. An event naming one is removed wherever it turns up.
inline constexpr StoredKey calendarReleasedOrders{"calendarReleasedOrders"};
// Never written means on: the settings switch shows it on.
inline constexpr PreferenceKey<bool> autoBackupEnabled{"autoBackupEnabled", true};

inline QList<PreferenceEntry> entries()
{
    return {entry(orders),
            entry(restDays),
            entry(packages),
            entry(maxOrdersPerDay),
            entry(syncCalendarDefault),
            entry(reminderDefault),
            entry(packageDepositMigrated),
            entry(reminderRules),
            entry(calendarSyncEnabled),
            entry(localNotificationEnabled),
            entry(deletedOrderEvents),
            entry(pendingCalendarWork),
            entry(calendarRestoreFollowUp),
            entry(calendarReleasedOrders),
            entry(autoBackupEnabled)};
}
}
