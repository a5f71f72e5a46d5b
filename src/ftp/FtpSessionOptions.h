#pragma once

#include <QString>

#include <chrono>

// What every control session of one server run is given at accept time.
struct FtpSessionOptions
{
    QString rootDirectory;
    std::chrono::milliseconds loginFailureDelay{1000};
    int maxFailedLogins = 10;
};
