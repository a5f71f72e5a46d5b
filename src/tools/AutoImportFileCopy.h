#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Copies one file into a folder without ever exposing a partial file or
// replacing an existing one: the data goes to a hidden temporary name in the
// target folder, is flushed to disk with the source's times, and only then
// takes its final name. Any failure removes the temporary file.
class AutoImportFileCopy
{
public:
    struct Result
    {
        bool ok = false;
        bool nameTaken = false; // another file took the final name meanwhile
        QString error;
    };

    // `fault` (tests) may fail the copy after the data is written.
    static Result copy(const QString& sourcePath, const QString& folder, const QString& name,
                       const std::function<QString()>& fault = {});

    // Hidden, so a crash never leaves something that looks like an imported file.
    static constexpr const char* kTempPrefix = ".tessary-";
    static constexpr const char* kTempSuffix = ".part";
    static constexpr qint64 kBufferSize = 4 * 1024 * 1024;
};
