#pragma once

#include <QtGlobal>

#include <chrono>

// Every bound the server puts on a peer, in one place. The time limits are the
// usual ones of mature servers; tests shorten them through `FtpServer::setLimits`.
struct FtpLimits
{
    static constexpr qsizetype kMaxLineBytes = 4096;
    static constexpr int kMaxNameBytes = 255;
    // Silence on the control connection after which the peer is probed.
    static constexpr int kKeepAliveIdleSeconds = 60;
    // Unsent replies after which no further command is read.
    static constexpr qint64 kMaxPendingReplyBytes = 64 * 1024;

    // Control sessions at once; the next connection gets "421 Too many connections".
    int maxSessions = 32;
    // From connect to a successful login; a silent peer must not hold a place.
    std::chrono::milliseconds loginTimeout{30'000};
    // A logged-in session with no command and no transfer running.
    std::chrono::milliseconds idleTimeout{300'000};
    // From PASV until the client connects to the announced port.
    std::chrono::milliseconds dataConnectTimeout{60'000};
    // Pause before each "530 Login incorrect".
    std::chrono::milliseconds loginFailureDelay{1000};
    int maxFailedLogins = 10;
};
