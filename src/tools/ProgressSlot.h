#pragma once

#include <mutex>

// The newest counts of a worker, waiting for the main thread. Only the first
// put after a take asks for a signal, so however fast the worker goes at most
// one report waits in the main thread's queue, and it reads the newest counts
// when it is handled, even if the worker has stalled since.
template <class Counts>
class ProgressSlot
{
public:
    // True when the reader has to be told.
    bool put(const Counts& counts)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_counts = counts;
        const bool tell = !m_full;
        m_full = true;
        return tell;
    }

    Counts take()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_full = false;
        return m_counts;
    }

private:
    std::mutex m_mutex;
    Counts m_counts;
    bool m_full = false;
};
