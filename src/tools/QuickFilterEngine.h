#pragma once

#include "ProgressSlot.h"
#include "ToolRunCounts.h"

#include <QDate>
#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// `skip`: the same file already in the output folder; `failed`: failed
// copies or moves, unreadable entries.
struct QuickFilterCounts : ToolRunCounts
{
    int match = 0; // copied or moved
};
Q_DECLARE_METATYPE(QuickFilterCounts)

struct QuickFilterOutcome
{
    QuickFilterCounts counts;
    QString outputPath;
    bool outputFailed = false; // the output folder could not be made: nothing was touched
    // Names of the list that matched no file, as `missingKeywords` gives
    // them, whether or not the missing list was written.
    QStringList missing;
};
Q_DECLARE_METATYPE(QuickFilterOutcome)

// Picks the RAW and JPG/HEIF files whose names a client asked for out of a
// source folder and copies (or moves) them into "快速分片_M.d" beside it,
// optionally writing the list of names that found no file. Pure QtCore:
// `run` blocks on its worker thread and reports through signals.
class QuickFilterEngine : public QObject
{
    Q_OBJECT
public:
    enum class Mode { copy, move };

    struct Options
    {
        QString source;
        QSet<QString> keywords;
        Mode mode = Mode::copy;
        QDate date;
        // Read once after the last file: the settings screen may change it.
        std::function<bool()> missingListEnabled;
    };

    // The keyword a file matches, empty when it matches none.
    static QString matchedKeyword(const QString& fileName, const QSet<QString>& keywords);
    static QString modeText(Mode mode);
    static QString outputFolderPath(const QString& source, const QDate& date);
    // Keywords without a file, extension-only ones left out, ascending.
    static QStringList missingKeywords(const QSet<QString>& keywords, const QSet<QString>& found);
    static QByteArray missingListBytes(const QStringList& missing);

    static constexpr const char* kOutputPrefix = "快速分片_";
    static constexpr const char* kMissingListName = "缺失RAW清单.txt";
    static constexpr const char* kActivityReason = "快速分片任务进行中，请勿让系统睡眠";

    explicit QuickFilterEngine(QObject* parent = nullptr);

    void run(const Options& options);
    // The newest counts; `progressed` says there are new ones.
    QuickFilterCounts takeProgress() { return m_progress.take(); }
    // Stops between files; only for quitting.
    void stop() { m_stop.store(true); }

Q_SIGNALS:
    void scanFinished(int totalCount);
    void progressed();
    void finished(const QuickFilterOutcome& outcome);

private:
    QStringList scan(const QString& source, QuickFilterCounts* counts);
    void writeMissingList(const QString& output, const QStringList& missing, QuickFilterCounts* counts);
    // How the run ended, written by the worker whether or not a screen
    // still takes its reports.
    static void logEnd(const QuickFilterOutcome& outcome);

    ProgressSlot<QuickFilterCounts> m_progress;
    std::atomic<bool> m_stop{false};
};
