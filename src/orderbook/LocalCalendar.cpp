#include "LocalCalendar.h"

#include <QHash>

#include <atomic>

namespace {

constexpr qint64 kBucketMs = 15 * 60 * 1000;
constexpr qint64 kDayMs = 24 * 60 * 60 * 1000;
constexpr qint64 kJulianDayOfUnixEpoch = 2440588;

// Per thread, so readers on other threads need no lock; each thread drops its
// cache when it sees a newer generation.
thread_local QHash<qint64, int> offsetCache;
thread_local int cacheGeneration = 0;
std::atomic<int> currentGeneration{0};

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

}

int LocalCalendar::utcOffsetAt(qint64 utcMs)
{
    const int generation = currentGeneration.load(std::memory_order_relaxed);
    if (generation != cacheGeneration) {
        offsetCache.clear();
        cacheGeneration = generation;
    }
    const qint64 bucket = floorDiv(utcMs, kBucketMs);
    const auto it = offsetCache.constFind(bucket);
    if (it != offsetCache.constEnd())
        return *it;
    if (offsetCache.size() > 200000)
        offsetCache.clear();
    const int offset = QDateTime::fromMSecsSinceEpoch(bucket * kBucketMs, Qt::LocalTime).offsetFromUtc();
    offsetCache.insert(bucket, offset);
    return offset;
}

QDateTime LocalCalendar::fromMSecsSinceEpoch(qint64 utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::OffsetFromUTC, utcOffsetAt(utcMs));
}

QDate LocalCalendar::dayOf(const QDateTime& moment)
{
    if (!moment.isValid())
        return {};
    if (moment.timeSpec() == Qt::LocalTime)
        return moment.date();
    const qint64 utcMs = moment.toMSecsSinceEpoch();
    const qint64 localMs = utcMs + qint64(utcOffsetAt(utcMs)) * 1000;
    return QDate::fromJulianDay(floorDiv(localMs, kDayMs) + kJulianDayOfUnixEpoch);
}

QDateTime LocalCalendar::relocalized(const QDateTime& moment)
{
    return moment.isValid() ? fromMSecsSinceEpoch(moment.toMSecsSinceEpoch()) : moment;
}

void LocalCalendar::resetCache()
{
    currentGeneration.fetch_add(1, std::memory_order_relaxed);
}

int LocalCalendar::generation()
{
    return currentGeneration.load(std::memory_order_relaxed);
}
