#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

// The remote feature switches of "features.txt": names switched off are
// stored under "remote_hidden_features" (the sidebar leaves them out at its
// next start), descriptions under "remote_feature_descs".
struct RemoteFeatureSwitches {
    QStringList hidden;
    QVariantMap descriptions;

    // One "name|status|description" line each; lines without "|" are skipped.
    static RemoteFeatureSwitches parse(const QString& text);
};

// Fetches the feature file once and replaces both stored values; on any
// failure they stay as they were. Returns at once.
void loadRemoteConfig();
