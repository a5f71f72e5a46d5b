#pragma once

#include "platform/UserNotificationTrigger.h"

#include <QString>

// A local notification waiting to be shown. A request with the identifier of a
// pending one replaces it.
struct UserNotificationRequest {
    QString identifier;
    QString title;
    QString subtitle;
    QString body;
    // Play the desktop's default notification sound.
    bool defaultSound = true;
    UserNotificationTrigger trigger;

    bool operator==(const UserNotificationRequest&) const = default;
};
