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

    // `fault` (tests) may fail the copy after the data is written; `cancel`
    // is read between blocks, so a large file stops part way.
    static Result copy(const QString& sourcePath, const QString& folder, const QString& name,
                       const std::function<QString()>& fault = {},
                       const std::atomic<bool>* cancel = nullptr);
    // Symbolic links are moved as links; their targets are never touched.
    static Result move(const QString& sourcePath, const QString& folder, const QString& name);
    // The cross-file-system half of `move`, callable alone so it can be tested
    // on one disk.
    static Result moveByCopy(const QString& sourcePath, const QString& folder, const QString& name);

    // Whether anything, a dangling link included, occupies `path`.
    static bool occupied(const QString& path);

    // Hidden, so a crash never leaves something that looks like a real file.
    static constexpr const char* kTempPrefix = ".tessary-";
    static constexpr const char* kTempSuffix = ".part";
    static constexpr qint64 kBufferSize = 4 * 1024 * 1024;
};
