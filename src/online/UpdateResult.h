#pragma once

#include <QString>

// The outcome of one version check.
struct UpdateResult {
    enum class Kind { hasUpdate, failed, isLatest };
    Kind kind = Kind::isLatest;
    QString version;     // hasUpdate
    QString log;         // hasUpdate
    QString url;         // hasUpdate: the download address
    QString message;     // failed

    static UpdateResult hasUpdate(const QString& version, const QString& log, const QString& url)
    {
        return {Kind::hasUpdate, version, log, url, {}};
    }
    static UpdateResult failed(const QString& message) { return {Kind::failed, {}, {}, {}, message}; }
    static UpdateResult isLatest() { return {Kind::isLatest, {}, {}, {}, {}}; }

    friend bool operator==(const UpdateResult& a, const UpdateResult& b)
    {
        return a.kind == b.kind && a.version == b.version && a.log == b.log && a.url == b.url
            && a.message == b.message;
    }
};
