#include "ScheduleSwipe.h"

#include <cmath>

namespace ScheduleSwipe {
int targetMode(int viewMode, double tx, double ty, double velocityX)
{
    const bool flick = std::fabs(velocityX) > 200 && std::fabs(tx) > 20;
    const bool sideways = std::fabs(tx) > 1.5 * std::fabs(ty) && std::fabs(tx) > 40;
    if (!flick && !sideways)
        return viewMode;
    if (tx < 0 && viewMode == 0)
        return 1;
    if (tx >= 0 && viewMode == 1)
        return 0;
    return viewMode;
}
}
