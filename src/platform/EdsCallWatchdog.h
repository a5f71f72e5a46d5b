#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

struct _GCancellable;

// Gives up a call to the calendar service that is not answered in time. A
// synchronous call waits in a loop of its own on the calling thread, where no
// timer of that thread can fire: only another thread can cancel it.
class EdsCallWatchdog
{
public:
    EdsCallWatchdog();
    ~EdsCallWatchdog();
    EdsCallWatchdog(const EdsCallWatchdog&) = delete;
    EdsCallWatchdog& operator=(const EdsCallWatchdog&) = delete;

    // Cancels `cancellable` unless `disarm` comes within `ms`. One call at a
    // time: arming again replaces the previous one.
    void arm(_GCancellable* cancellable, int ms);
    void disarm();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    _GCancellable* m_armed = nullptr;
    std::chrono::steady_clock::time_point m_deadline;
    std::uint64_t m_generation = 0;
    bool m_quit = false;
    std::thread m_thread;
};
