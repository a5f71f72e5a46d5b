#include "RemoteConfig.h"

void loadRemoteConfig()
{
    // No feature file address is configured yet: the stored switches stay as they are.
}
