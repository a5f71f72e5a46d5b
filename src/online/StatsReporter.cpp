#include "StatsReporter.h"

StatsReporter& StatsReporter::shared()
{
    static StatsReporter* instance = new StatsReporter;
    return *instance;
}

void StatsReporter::report(const QString& event, const QString& extra)
{
    // No upload target is configured yet: the event is only announced.
    Q_EMIT eventQueued(event, extra);
}
