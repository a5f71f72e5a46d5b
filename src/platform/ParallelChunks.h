#pragma once

#include <QList>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cstddef>

// Runs `work(begin, end, index)` over [0, count) in runs of `chunk`, on all
// cores, and returns when every run is done. Each run has its items alone.
template <typename Work>
void forChunks(size_t count, size_t chunk, Work work)
{
    QList<size_t> starts;
    for (size_t i = 0; i < count; i += chunk)
        starts << i;
    QtConcurrent::blockingMap(starts, [&](size_t start) { work(start, std::min(start + chunk, count), start / chunk); });
}
