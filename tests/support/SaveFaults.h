#pragma once

#include "platform/Paths.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <atomic>
#include <memory>

// Faults at the one place the app writes its own files.
namespace SaveFaults {

// While alive, the `nth` time (counting from 1 over every save) `step` comes
// it fails with `error` (every time when `nth` is 0); other steps go through.
class Fail
{
public:
    Fail(Paths::SaveStep step, int nth, int error);
    ~Fail();
    Fail(const Fail&) = delete;
    Fail& operator=(const Fail&) = delete;

    // How many times `step` came so far.
    int seen() const { return m_seen->load(); }

private:
    std::shared_ptr<std::atomic<int>> m_seen;
};

// A 1 MB tmpfs mounted over `folder`, holding the files the folder held,
// then filled to the last byte: a real full disk. Needs root; `skipReason`
// says why there is none. Unmounted when it goes.
class FullDisk
{
public:
    explicit FullDisk(const QString& folder);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool mounted() const { return m_mounted; }
    QString skipReason() const { return m_skipReason; }

private:
    QString m_folder;
    bool m_mounted = false;
    QString m_skipReason;
};

}
