#pragma once

#include "platform/Paths.h"

#include <QString>

#include <memory>

// One file being received. The bytes go to a hidden temporary file of the
// server's own naming in the same folder; only when the whole file has arrived
// is it synced and given its final name, never replacing anything. So a
// transfer cut short (a reset, a refusal, a crash or a power loss) leaves
// nothing under the name a camera's retry needs; so does one named whose
// client turns out never to have read the reply, which takes it back. A name
// that exists, or that another session is receiving, is refused up front.
class FtpUpload
{
public:
    // Null on failure, with the errno in `error` (EEXIST when the name is taken).
    static std::unique_ptr<FtpUpload> create(const QString& folder, const QString& name, int* error);
    ~FtpUpload();

    FtpUpload(const FtpUpload&) = delete;
    FtpUpload& operator=(const FtpUpload&) = delete;

    bool write(const char* data, qsizetype size);
    // Makes the bytes durable; false (nothing left behind) when the disk
    // refused. Done before the file may take its name.
    bool sync();
    // Syncs the file if that is still to do and gives it its final name; false
    // (nothing left behind) when that failed, with EEXIST when the name was
    // taken meanwhile. The file stays held and can still be taken back until
    // `keep`.
    bool commit();
    // Lets go of a named file for good.
    void keep();
    // Removes a named file that its client never learnt of; false when the
    // name no longer holds this file (then nothing is touched).
    bool takeBack();
    // Closes and removes the temporary file.
    void discard();

    QString path() const { return m_path; }
    QString temporaryPath() const { return m_temporaryPath; }
    qint64 bytesWritten() const { return m_written; }
    int error() const { return m_error; }

    // Uploads of this process being received right now.
    static int inProgress();

    // Errors that mean "no room left" rather than a fault of the folder.
    static bool isOutOfSpace(int error);
    // Whether `name` is of the temporary files' pattern; such names are never
    // listed nor accepted from a client.
    static bool isTemporaryName(const QString& name);
    // Removes the temporary files in `folder` that no transfer holds (those a
    // crash left behind); returns how many went.
    static int removeLeftovers(const QString& folder);

    // For tests: seen before each write, the sync and the rename of every
    // upload; a nonzero errno fails that step with it. An empty hook ends it.
    static void setFaultHook(Paths::SaveHook hook);

private:
    FtpUpload(int fd, QString temporaryPath, QString path);
    void release();

    int m_fd = -1;
    QString m_temporaryPath;
    QString m_path;
    // Large enough that starting the writeback does not hold up the receiving
    // (at 1 MiB a 1.5 GB file arrived about a quarter slower), small enough that
    // the sync before "226" finds little left.
    static constexpr qint64 kWritebackChunk = 16 * 1024 * 1024;

    qint64 m_written = 0;
    qint64 m_writebackFrom = 0;
    int m_error = 0;
    bool m_reserved = true;
    bool m_synced = false;
    bool m_named = false;
};
