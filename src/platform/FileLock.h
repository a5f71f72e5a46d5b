#pragma once

#include <QString>

// An advisory lock (flock) on a file, held until the object goes. Taking it
// writes nothing to disk, and the kernel lets go of it when its process
// dies, so a crash leaves no lock to take over. The file is kept.
class FileLock
{
public:
    // Waits for the lock: for ever, or at most `waitMs` when not negative,
    // after which it is not held. The file's folder is made when missing.
    explicit FileLock(const QString& path, int waitMs = -1);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool isLocked() const { return m_locked; }

private:
    int m_fd = -1;
    bool m_locked = false;
};
