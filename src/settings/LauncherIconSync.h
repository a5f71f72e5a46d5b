#pragma once

#include "settings/AppIconStyle.h"

#include <QString>

#include <optional>

// Installs the chosen icon style for the desktop's launcher: PNGs of every
// size into the user's hicolor theme and the application's .desktop entry,
// then refreshes the caches whose tools are present. Runs on one worker
// thread, one run at a time; a newer request replaces a queued one, so the
// launcher ends with the style chosen last. Reports only by one log line.
namespace LauncherIconSync {
inline constexpr int kSizes[] = {16, 32, 48, 64, 128, 256, 512};

// Queues a run for `style` and returns at once.
void request(AppIconStyle style);
// Waits until every requested run has finished.
void waitForIdle();
// Drops a queued run and waits for the running one (at quit).
void shutdown();

// One run, on the calling thread. Returns the failure reason, none on success.
std::optional<QString> run(AppIconStyle style);

// The icon name a style is installed under: "tessary-" + its raw value.
QString iconName(AppIconStyle style);
// The desktop entry's Exec value for `program`, quoted as the desktop entry
// specification asks.
QString execValue(const QString& program);
}
