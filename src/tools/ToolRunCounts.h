#pragma once

#include <QList>
#include <QPair>
#include <QString>

// What every file tool reports of a run as it goes. Each tool's counts add
// their own figures to these.
struct ToolRunCounts
{
    int processed = 0;       // files handled before the one in hand
    int skip = 0;
    int failed = 0;
    QString currentFileName; // the file in hand
    qint64 fileDone = 0;     // its bytes written so far, so a long file moves the bar
    qint64 fileSize = 0;
    // The first failures with their causes, in the order met: a file or
    // folder, or a folder the run could not make (which fails what it was
    // to receive without a line for each).
    QList<QPair<QString, QString>> failures;
    static constexpr int kKeptFailures = 3;

    // Keeps `what` and its cause while there is room; counting is the caller's.
    void noteFailure(const QString& what, const QString& cause)
    {
        if (failures.size() < kKeptFailures)
            failures.append({what, cause});
    }
};
