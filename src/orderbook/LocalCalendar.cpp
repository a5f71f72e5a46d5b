#include "LocalCalendar.h"

#include "platform/LocalTimeConverter.h"

#include <QHash>

#include <atomic>
#include <limits>

namespace {

constexpr qint64 kBucketMs = 15 * 60 * 1000;
constexpr qint64 kDayMs = 24 * 60 * 60 * 1000;
constexpr qint64 kJulianDayOfUnixEpoch = 2440588;
constexpr int kClocksChange = std::numeric_limits<int>::min();
constexpr qsizetype kMaxEntries = 200000;

// Per thread, so readers on other threads need no lock; each thread drops its
// caches when it sees a newer generation. Most UTC days keep one offset
// throughout; only days on which the clocks change are cached per quarter
// hour, so a list spread over years costs two C library calls per day.
thread_local QHash<qint64, int> dayCache;
thread_local QHash<qint64, int> bucketCache;
thread_local int cacheGeneration = 0;
std::atomic<int> currentGeneration{0};

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

int systemOffsetAt(qint64 utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::LocalTime).offsetFromUtc();
}

int bucketOffset(qint64 utcMs)
{
    const qint64 bucket = floorDiv(utcMs, kBucketMs);
    const auto it = bucketCache.constFind(bucket);
    if (it != bucketCache.constEnd())
        return *it;
    if (bucketCache.size() > kMaxEntries)
        bucketCache.clear();
    const int offset = systemOffsetAt(bucket * kBucketMs);
    bucketCache.insert(bucket, offset);
    return offset;
}

}

int LocalCalendar::utcOffsetAt(qint64 utcMs)
{
    const int generation = currentGeneration.load(std::memory_order_relaxed);
    if (generation != cacheGeneration) {
        dayCache.clear();
        bucketCache.clear();
        cacheGeneration = generation;
    }
    const qint64 day = floorDiv(utcMs, kDayMs);
    auto it = dayCache.constFind(day);
    if (it == dayCache.constEnd()) {
        if (dayCache.size() > kMaxEntries)
            dayCache.clear();
        // The first and last quarter hour of the day: every offset a
        // quarter-hour lookup could give for this day lies between them.
        const int first = bucketOffset(day * kDayMs);
        const int last = bucketOffset(day * kDayMs + kDayMs - kBucketMs);
        it = dayCache.insert(day, first == last ? first : kClocksChange);
    }
    return *it != kClocksChange ? *it : bucketOffset(utcMs);
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
    LocalTimeConverter::refresh();
}

int LocalCalendar::generation()
{
    return currentGeneration.load(std::memory_order_relaxed);
}
