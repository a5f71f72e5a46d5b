#include "AppPreferences.h"

#include "app/AppKeys.h"
#include "ftp/FtpKeys.h"
#include "online/OnlineKeys.h"
#include "orderbook/OrderbookKeys.h"
#include "orders/OrdersKeys.h"
#include "platform/Preferences.h"
#include "schedule/ScheduleKeys.h"
#include "settings/SettingsKeys.h"
#include "tools/ToolsKeys.h"
#include "ui/UiKeys.h"

namespace AppPreferences {
void registerAll()
{
    for (const QList<PreferenceEntry>& folder :
         {OrderbookKeys::entries(), FtpKeys::entries(), AppKeys::entries(), ToolsKeys::entries(),
          ScheduleKeys::entries(), OrdersKeys::entries(), OnlineKeys::entries(), SettingsKeys::entries(), UiKeys::entries()})
        Preferences::add(folder);
}
}
