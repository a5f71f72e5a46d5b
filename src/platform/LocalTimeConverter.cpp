#include "LocalTimeConverter.h"

#include <QTimeZone>

#include <algorithm>
#include <atomic>
#include <optional>
#include <vector>

namespace {

constexpr qint64 kDayMs = 24 * 60 * 60 * 1000;
constexpr qint64 kJulianDayOfUnixEpoch = 2440588;
// The table covers this far either side of its making; instants beyond ask
// the zone itself, more slowly.
constexpr qint64 kSpanMs = 60 * 366 * kDayMs;

std::atomic<int> zoneGeneration{0};

int systemOffsetAt(qint64 utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::LocalTime).offsetFromUtc();
}

}

struct LocalTimeConverter::Table {
    QTimeZone zone;
    // Every conversion through the C library.
    bool system = false;
    qint64 from = 0;
    qint64 to = 0;
    // Instants at which the offset changes, ascending; offsets[i] is in force
    // before changes[i], the last one after them all.
    std::vector<qint64> changes;
    std::vector<int> offsets;

    int offsetAt(qint64 utcMs) const
    {
        if (system)
            return systemOffsetAt(utcMs);
        if (utcMs < from || utcMs >= to)
            return zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(utcMs, Qt::UTC));
        const auto after = std::upper_bound(changes.begin(), changes.end(), utcMs);
        return offsets[size_t(after - changes.begin())];
    }
};

LocalTimeConverter LocalTimeConverter::current()
{
    thread_local std::optional<LocalTimeConverter> converter;
    thread_local int generation = -1;
    const int now = zoneGeneration.load(std::memory_order_acquire);
    if (!converter || generation != now) {
        converter.emplace(QTimeZone::systemTimeZone());
        generation = now;
    }
    return *converter;
}

void LocalTimeConverter::refresh()
{
    zoneGeneration.fetch_add(1, std::memory_order_acq_rel);
}

LocalTimeConverter::LocalTimeConverter(const QTimeZone& zone)
{
    auto table = std::make_shared<Table>();
    table->zone = zone;
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    table->from = nowMs - kSpanMs;
    table->to = nowMs + kSpanMs;
    if (zone.isValid()) {
        table->offsets.push_back(zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(table->from, Qt::UTC)));
        const QTimeZone::OffsetDataList changes = zone.transitions(
            QDateTime::fromMSecsSinceEpoch(table->from, Qt::UTC), QDateTime::fromMSecsSinceEpoch(table->to, Qt::UTC));
        for (const QTimeZone::OffsetData& change : changes) {
            const qint64 at = change.atUtc.toMSecsSinceEpoch();
            if (at <= table->from || at >= table->to || change.offsetFromUtc == table->offsets.back())
                continue;
            table->changes.push_back(at);
            table->offsets.push_back(change.offsetFromUtc);
        }
    }
    // Qt and the C library read the same zone files; where they do not agree
    // (no zone file, a rule only the C library parses) the C library rules,
    // as it does for the rest of the app.
    const qint64 halfYear = 183 * kDayMs;
    table->system = !zone.isValid() || table->offsetAt(nowMs) != systemOffsetAt(nowMs)
        || table->offsetAt(nowMs + halfYear) != systemOffsetAt(nowMs + halfYear);
    m_table = std::move(table);
}

int LocalTimeConverter::offsetAt(qint64 utcMs) const
{
    return m_table->offsetAt(utcMs);
}

QDateTime LocalTimeConverter::fromMSecsSinceEpoch(qint64 utcMs) const
{
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::OffsetFromUTC, offsetAt(utcMs));
}

QDateTime LocalTimeConverter::local(const QDateTime& moment) const
{
    return moment.isValid() ? fromMSecsSinceEpoch(moment.toMSecsSinceEpoch()) : moment;
}

QDateTime LocalTimeConverter::dateTime(QDate date, QTime time) const
{
    if (!date.isValid() || !time.isValid())
        return {};
    const qint64 localMs = (date.toJulianDay() - kJulianDayOfUnixEpoch) * kDayMs + time.msecsSinceStartOfDay();
    // No zone is more than a day off UTC, so the offsets a day either side
    // are the ones this wall-clock time can have: the earlier first.
    const int before = offsetAt(localMs - kDayMs);
    const int after = offsetAt(localMs + kDayMs);
    for (const int offset : {before, after}) {
        if (offsetAt(localMs - qint64(offset) * 1000) == offset)
            return QDateTime::fromMSecsSinceEpoch(localMs - qint64(offset) * 1000, Qt::OffsetFromUTC, offset);
    }
    // Skipped by the clocks: the instant the earlier offset gives, shown as
    // the later wall-clock time.
    return fromMSecsSinceEpoch(localMs - qint64(before) * 1000);
}

QDateTime LocalTimeConverter::now() const
{
    return fromMSecsSinceEpoch(QDateTime::currentMSecsSinceEpoch());
}
