#include "SoftwareUpdatePrefs.h"

#include "platform/UserDefaults.h"

namespace SoftwareUpdatePrefs {
bool autoCheckEnabled()
{
    const UserDefaults& d = UserDefaults::standard();
    if (!d.object(kAutoCheckKey).isValid())
        return true;
    return d.boolean(kAutoCheckKey);
}
}
