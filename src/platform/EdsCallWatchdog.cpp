#include "EdsCallWatchdog.h"

#undef signals
#include <gio/gio.h>

EdsCallWatchdog::EdsCallWatchdog()
    : m_thread([this] { run(); })
{
}

EdsCallWatchdog::~EdsCallWatchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
    if (m_armed)
        g_object_unref(m_armed);
}

void EdsCallWatchdog::arm(GCancellable* cancellable, int ms)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_armed)
            g_object_unref(m_armed);
        m_armed = G_CANCELLABLE(g_object_ref(cancellable));
        m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        ++m_generation;
    }
    m_wake.notify_all();
}

void EdsCallWatchdog::disarm()
{
    std::lock_guard lock(m_mutex);
    if (m_armed)
        g_object_unref(m_armed);
    m_armed = nullptr;
    ++m_generation;
}

void EdsCallWatchdog::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        if (!m_armed) {
            m_wake.wait(lock, [this] { return m_quit || m_armed; });
            continue;
        }
        const std::uint64_t watched = m_generation;
        if (m_wake.wait_until(lock, m_deadline, [&] { return m_quit || m_generation != watched; }))
            continue;
        // Thread-safe: the caller's wait ends with G_IO_ERROR_CANCELLED.
        g_cancellable_cancel(m_armed);
        g_object_unref(m_armed);
        m_armed = nullptr;
    }
}
