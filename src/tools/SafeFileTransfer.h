#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>

// Copies or moves one file into a folder without ever exposing a partial file
// or replacing an existing one. A copy goes to a hidden temporary name in the
// target folder, is flushed to disk with the source's times, and only then
// takes its final name; any failure removes the temporary file. A move is a
// rename that refuses an existing name; across file systems it is such a copy,
// and the source goes only after the copy is complete.
class SafeFileTransfer
{
public:
    struct Result
    {
        bool ok = false;
        bool nameTaken = false; // a file of that name exists (or appeared meanwhile)
        bool cancelled = false; // `cancel` was seen between two blocks
        QString error;
    };

    struct Control
    {
        // Read between blocks, so a large file stops part way.
        const std::atomic<bool>* cancel = nullptr;
        // Told the bytes written so far after each block.
        std::function<void(qint64 written)> progress;
    };

    static Result copy(const QString& sourcePath, const QString& folder, const QString& name,
                       const Control& control);
    static Result copy(const QString& sourcePath, const QString& folder, const QString& name)
    {
        return copy(sourcePath, folder, name, Control());
    }
    // Symbolic links are moved as links; their targets are never touched.
    static Result move(const QString& sourcePath, const QString& folder, const QString& name);
    // The cross-file-system half of `move`, callable alone so it can be tested
    // on one disk.
    static Result moveByCopy(const QString& sourcePath, const QString& folder, const QString& name);

    // Whether anything, a dangling link included, occupies `path`.
    static bool occupied(const QString& path);

    // Makes `path` with any missing parents; a folder already there is fine.
    // Returns why it could not be made, empty on success.
    static QString makeFolders(const QString& path);

    // Removes the temporary files of our own naming that a crash left in
    // `folder`, except those a running transfer (of this process or another)
    // still holds. Returns how many went.
    static int removeLeftovers(const QString& folder);
    static bool isTemporaryName(const QString& name);

    // Test seam: called before each read of a copy with the offset reached
    // (the last call, at the end of the data, has offset == size, before the
    // file is kept). A non-zero errno fails the copy there, as a card that
    // fails mid-read would. Set it only while no copy runs.
    using ReadHook = std::function<int(const QString& sourcePath, qint64 offset, qint64 size)>;
    static void setReadHook(ReadHook hook);

    // Hidden, so a crash never leaves something that looks like a real file:
    // the prefix, up to 16 lower-case hex digits, the suffix.
    static constexpr const char* kTempPrefix = ".tessary-";
    static constexpr const char* kTempSuffix = ".part";
    static constexpr qint64 kBufferSize = 4 * 1024 * 1024;
};
