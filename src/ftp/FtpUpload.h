#pragma once

#include <QString>

#include <memory>

// One file being received. It is created exclusively (an existing name, a
// dangling symlink or a file another session is writing all refuse it), written
// as bytes arrive, and removed again unless the transfer ends cleanly: a camera
// retries a failed upload, and a truncated file under the same name would make
// that retry fail.
class FtpUpload
{
public:
    // Null on failure, with the errno in `error` (EEXIST when the name is taken).
    static std::unique_ptr<FtpUpload> create(const QString& path, int* error);
    ~FtpUpload();

    FtpUpload(const FtpUpload&) = delete;
    FtpUpload& operator=(const FtpUpload&) = delete;

    bool write(const char* data, qsizetype size);
    // Closes the file and keeps it; false (file removed) when the close failed.
    bool commit();
    // Closes and removes the file.
    void discard();

    QString path() const { return m_path; }
    qint64 bytesWritten() const { return m_written; }
    int error() const { return m_error; }

    // Errors that mean "no room left" rather than a fault of the folder.
    static bool isOutOfSpace(int error);

private:
    FtpUpload(int fd, QString path);

    int m_fd = -1;
    QString m_path;
    qint64 m_written = 0;
    int m_error = 0;
};
