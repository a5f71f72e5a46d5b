#pragma once

#include "ftp/FtpAccess.h"
#include "ftp/FtpLimits.h"

#include <QString>

#include <chrono>
#include <functional>

// What every control session of one server run is given at accept time.
struct FtpSessionOptions
{
    QString rootDirectory;
    // The access rules as they are now; safe to call from the sessions'
    // thread and cheap enough to call for every command, so open sessions
    // follow changes made while they run.
    std::function<FtpAccess()> access = [] { return FtpAccess(); };
    // The address a passive reply names when the control connection came
    // over IPv6 and gives none a camera can use.
    std::function<QString()> localAddress;
    FtpLimits limits;
};
