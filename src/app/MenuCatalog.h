#pragma once

#include "ui/MenuItem.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the sidebar offers: every entry with its screen, the remote rule that
// hides entries, the names a stored launch page may still carry from older
// versions, and the usage event of each working screen. Titles are keys only
// where they are stored ("defaultLaunchPage", "remote_hidden_features") or
// posted ("NavigateToMenu"); everything else goes by `ScreenId`.
namespace MenuCatalog {
// The full menu in display order, each entry with a fresh id.
QList<MenuItem> fullMenu();
// The software update screen's entry, which is not in the menu.
MenuItem softwareUpdateItem();
// The five working entries, which a remote switch can never hide.
bool isCore(ScreenId screen);
// The entries kept when the titles in `hidden` are switched off remotely.
QList<MenuItem> visibleMenuItems(const QList<MenuItem>& all, const QStringList& hidden);
// The full menu less what "remote_hidden_features" hides now.
QList<MenuItem> shownMenu();
// The screen to open first for the stored "defaultLaunchPage".
ScreenId launchPage(const std::optional<QString>& stored);
// The usage event reported when a screen is chosen, empty when it has none.
QString usageEventName(ScreenId screen);
// The five working entries the global search offers as functions, whatever
// the sidebar shows (no subtitles).
QList<MenuItem> searchMenu();
}
