#pragma once

#include <QString>

#include <memory>

class QDBusConnection;
class QDBusUnixFileDescriptor;

// Keeps the machine awake while long file work runs: a logind "sleep:idle"
// block inhibitor held from construction to destruction. Without a system bus
// or logind it holds nothing and the work simply goes on.
class ProcessActivity
{
public:
    explicit ProcessActivity(const QString& reason);
    // Asks logind on `bus` (tests pass a private bus).
    ProcessActivity(const QString& reason, const QDBusConnection& bus);
    ~ProcessActivity();

    ProcessActivity(const ProcessActivity&) = delete;
    ProcessActivity& operator=(const ProcessActivity&) = delete;

    // Whether logind granted the inhibitor.
    bool isHeld() const;

    // The longest a start may wait for logind, so a hung bus never stalls a run.
    static constexpr int kCallTimeoutMs = 2000;

private:
    std::unique_ptr<QDBusUnixFileDescriptor> m_lock;
};
