#pragma once

// The horizontal swipe that flips the schedule screen between its calendar
// and its statistics.
namespace ScheduleSwipe {
// Drags shorter than this are clicks.
inline constexpr double kMinimumDistance = 10;

// The view mode after a drag that moved (tx, ty) and ended at `velocityX`
// points a second: a flick (faster than 200 and over 20 across) or a mostly
// horizontal drag over 40 turns left to the statistics, right to the
// calendar; anything else keeps `viewMode`.
int targetMode(int viewMode, double tx, double ty, double velocityX);
}
