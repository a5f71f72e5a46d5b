#pragma once

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
};
