#pragma once

#include "platform/PreferenceKey.h"
#include "ui/UiKeys.h"

// Preferences of the schedule screen.
namespace ScheduleKeys {
inline constexpr StoredKey viewMode{"scheduleViewMode"};
inline constexpr StoredKey statsMode{"scheduleStatsMode"};
// The date popups read the same key, so it lives with the shared look.
inline constexpr PreferenceKey<bool> weekStartsOnMonday = UiKeys::weekStartsOnMonday;
inline constexpr PreferenceKey<bool> firstTimeGuideShown{"scheduleFirstTimeGuideShown", false};
inline constexpr StoredKey listColumnWidths{"scheduleListColumnWidths"};
inline constexpr StoredKey listHiddenColumns{"scheduleListHiddenColumns"};
inline constexpr StoredKey listDefaultSort{"scheduleListDefaultSort"};
inline constexpr StoredKey listFilterPresets{"scheduleListFilterPresets"};
inline constexpr StoredKey customStatsTemplates{"scheduleCustomStatsTemplates"};
inline constexpr StoredKey recycleBin{"scheduleRecycleBin"};
inline constexpr StoredKey printTemplates{"schedulePrintTemplates"};

inline QList<PreferenceEntry> entries()
{
    return {entry(viewMode),          entry(statsMode),           entry(weekStartsOnMonday),
            entry(firstTimeGuideShown),
            entry(listColumnWidths),  entry(listHiddenColumns),   entry(listDefaultSort),
            entry(listFilterPresets), entry(customStatsTemplates), entry(recycleBin),
            entry(printTemplates)};
}
}
