#pragma once

#include "platform/PreferenceKey.h"

// Preferences of the file tools.
namespace ToolsKeys {
inline constexpr PreferenceKey<bool> autoImportSound{"autoImportSound", true};
// Percent of the normal volume.
inline constexpr PreferenceKey<int> autoImportVolume{"autoImportVolume", 80};
inline constexpr PreferenceKey<bool> dailyNewFolder{"dailyNewFolder", false};
// Empty: the desktop.
inline const PreferenceKey<QString> autoImportRootPath{"autoImportRootPath", QString()};
inline constexpr StoredKey quickSplitSeparator{"quickSplitSeparator"};
// The quick filter also writes a list of the names it did not find.
inline constexpr PreferenceKey<bool> missingRawList{"missingRawList", false};
// Names older backups give the import settings: restored and carried, read by nothing.
inline constexpr StoredKey legacyAutoImportEnabled{"autoImportEnabled"};
inline constexpr StoredKey legacyAutoImportPlaySound{"autoImportPlaySound"};
inline constexpr StoredKey legacyAutoImportCreateDailyFolder{"autoImportCreateDailyFolder"};
inline constexpr StoredKey legacyAutoImportSavePath{"autoImportSavePath"};

inline QList<PreferenceEntry> entries()
{
    return {entry(autoImportSound),         entry(autoImportVolume),
            entry(dailyNewFolder),          entry(autoImportRootPath),
            entry(quickSplitSeparator),     entry(missingRawList),
            entry(legacyAutoImportEnabled), entry(legacyAutoImportPlaySound),
            entry(legacyAutoImportCreateDailyFolder), entry(legacyAutoImportSavePath)};
}
}
