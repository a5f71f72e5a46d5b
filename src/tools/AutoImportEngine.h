#pragma once

#include "ProgressSlot.h"
#include "ToolRunCounts.h"

#include <QDate>
#include <QList>
#include <QPair>
#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// The import's counts as they stand; `failed` also counts unreadable source
// items and an unreadable source.
struct AutoImportCounts : ToolRunCounts
{
    int photos = 0; // copied
    int videos = 0;
};

// What the engine reports when a run has ended (normally or by cancel).
struct AutoImportOutcome
{
    AutoImportCounts counts;
    QString targetPath;
    int notCopied = 0; // files a cancel left, the one it cut included
    bool sourceUnreadable = false;
    bool createFailed = false;
};

Q_DECLARE_METATYPE(AutoImportOutcome)

class DestinationFolder;

// Copies the photos and videos of a memory card (or any folder) into a dated
// folder: <root>/<M.d>-相机导出/照片 and .../视频. Pure QtCore, so it runs on a
// worker thread and in tests without a window. `run` blocks until the run has
// ended; its counts are reported through the signals.
class AutoImportEngine : public QObject
{
    Q_OBJECT
public:
    enum class Kind { none, photo, video };

    struct Options
    {
        QString rootPath;        // the stored destination root; empty: desktop
        QString desktopPath;     // fallback root
        bool dailyNewFolder = false;
        QDate date;              // the day that names the folder
    };

    struct ScanResult
    {
        QStringList files; // media files in enumeration order
        // Folders that could not be read, with why; the source itself first
        // when it could not.
        QList<QPair<QString, QString>> unreadable;
        bool sourceUnreadable = false;
    };

    struct RootChoice
    {
        QString path;
        bool custom = false;     // the stored root is used
    };

    explicit AutoImportEngine(QObject* parent = nullptr);

    static const QSet<QString>& photoExtensions();
    static const QSet<QString>& videoExtensions();
    static Kind kindOf(const QString& fileName);

    // Recursive scan of media files; hidden files and folders are never seen.
    static ScanResult scan(const QString& folder);
    static RootChoice chooseRoot(const QString& rootPath, const QString& desktopPath);
    static QString baseFolderName(const QDate& date);
    // The dated folder's name under `root` (with "-2", "-3" ... in daily mode).
    static QString targetFolderName(const QString& root, const QDate& date, bool dailyNewFolder);
    // "IMG_0001.JPG", 2 -> "IMG_0001-2.JPG"
    static QString numberedName(const QString& name, int number);

    static constexpr const char* kActivityReason = "自动导片复制任务进行中，请勿让系统睡眠";
    static constexpr const char* kPhotoFolder = "照片";
    static constexpr const char* kVideoFolder = "视频";

    // Thread-safe: the run stops within the file in hand, whose partial
    // copy is removed.
    void requestCancel() { m_cancel.store(true); }
    void stop() { requestCancel(); }
    bool isCancelRequested() const { return m_cancel.load(); }
    // Every file has been handled: a cancel now changes nothing.
    bool filesDone() const { return m_filesDone.load(); }

    void run(const QString& sourcePath, const Options& options);

    // The newest counts; `progressed` says there are new ones.
    AutoImportCounts takeProgress() { return m_progress.take(); }

Q_SIGNALS:
    void scanFinished(int totalCount);
    void progressed();
    void finished(const AutoImportOutcome& outcome);

private:
    // The dated folder of a run and what it will receive.
    struct Target
    {
        QString root;
        QString path;
        QString photoDir;
        QString videoDir;
        int photos = 0;
        int videos = 0;
        bool createFailed = false;
    };
    enum class FileResult { copied, skipped, failed, cut };

    // Chooses the root and the folder's name, counts the files and creates
    // the subfolders that will receive some; a cause that stopped that goes
    // into `counts`.
    static Target prepareTarget(const QStringList& files, const Options& options, AutoImportCounts& counts);
    // Copies one file unless it is already there; `counts` names it while
    // its bytes go.
    FileResult importFile(const QString& file, DestinationFolder& dest, AutoImportCounts& counts,
                          QString* error);
    void report(const AutoImportCounts& counts);

    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_filesDone{false};
    ProgressSlot<AutoImportCounts> m_progress;
};
