#pragma once

#include <QObject>

// The process-wide anonymous usage reporter. Reporting never blocks and never
// reports back, failures included.
class StatsReporter : public QObject
{
    Q_OBJECT
public:
    static StatsReporter& shared();

    // Queues one usage event and returns at once.
    void report(const QString& event, const QString& extra = QString());

Q_SIGNALS:
    // Emitted for every queued event (on the caller's thread).
    void eventQueued(const QString& event, const QString& extra);

private:
    StatsReporter() = default;
};
