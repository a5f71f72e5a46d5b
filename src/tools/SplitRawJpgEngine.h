#pragma once

#include "ProgressSlot.h"
#include "ToolRunCounts.h"

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>

// The counts of a split as they stand, sent with every report.
// `failed` counts folders that could not be made or read, failed moves and
// the files a missing folder could not receive.
struct SplitRawJpgCounts : ToolRunCounts
{
    int raw = 0;
    int jpg = 0;
};
Q_DECLARE_METATYPE(SplitRawJpgCounts)

// Moves every RAW file found below a folder into its subfolder "RAW" and
// every JPG/HEIF file into "JPG". A name already taken in the target is left
// where it is and counted as a duplicate; nothing is ever replaced. Pure
// QtCore: `run` blocks on its worker thread and reports through signals.
class SplitRawJpgEngine : public QObject
{
    Q_OBJECT
public:
    enum class Kind { other, raw, jpg };

    // The files below a folder, stored as one block of relative paths so a
    // large folder costs a few bytes per file.
    class FileList
    {
    public:
        void append(const QByteArray& relativePath);
        int size() const { return m_count; }
        // Calls `fn` with each relative path, in listing order.
        void forEach(const std::function<void(const QByteArray&)>& fn) const;
        QStringList toStringList() const;

    private:
        QByteArray m_data; // paths, each ended by a NUL
        int m_count = 0;
    };

    struct Listing
    {
        FileList files;
        int unreadable = 0; // folders or entries that could not be read
        QList<QPair<QString, QString>> firstUnreadable; // the first few, with why
    };

    explicit SplitRawJpgEngine(QObject* parent = nullptr);

    static const QSet<QString>& rawExtensions();
    static const QSet<QString>& jpgExtensions();
    static Kind kindOf(const QString& fileName);

    // Every entry below `folder` that is not a folder, hidden ones left out,
    // links listed as themselves.
    static Listing getAllFiles(const QString& folder);

    static constexpr const char* kRawFolder = "RAW";
    static constexpr const char* kJpgFolder = "JPG";
    static constexpr const char* kActivityReason = "自动分离RAW/JPG任务进行中，请勿让系统睡眠";

    void run(const QString& folder);

    // The newest counts; `progressed` says there are new ones.
    SplitRawJpgCounts takeProgress() { return m_progress.take(); }
    // Stops between files; only for quitting, since a split runs to its end.
    void stop() { m_stop.store(true); }

Q_SIGNALS:
    void scanFinished(int totalCount);
    void progressed();
    void finished(const SplitRawJpgCounts& counts);

private:
    ProgressSlot<SplitRawJpgCounts> m_progress;
    std::atomic<bool> m_stop{false};
};
