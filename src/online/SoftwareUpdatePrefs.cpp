#include "SoftwareUpdatePrefs.h"

#include "online/OnlineKeys.h"
#include "platform/UserDefaults.h"

namespace SoftwareUpdatePrefs {
bool autoCheckEnabled()
{
    return UserDefaults::standard().value(OnlineKeys::autoCheckUpdate);
}
}
