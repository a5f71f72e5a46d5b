#pragma once

#include <QDate>
#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// What the engine reports for each handled file.
struct AutoImportFileReport
{
    enum class Kind { none, photo, video };
    QString name;             // the source file's name
    Kind kind = Kind::none;
    bool copied = false;
    bool skipped = false;     // already imported (same name, size and time or bytes)
    bool failed = false;
    QString error;            // why it failed
};

// What the engine reports when a run has ended (normally or by cancel).
struct AutoImportRunSummary
{
    QString targetPath;
    int failedCount = 0;      // failed copies, unreadable source items, an unreadable source
    bool sourceUnreadable = false;
    bool createFailed = false;
};

Q_DECLARE_METATYPE(AutoImportFileReport)
Q_DECLARE_METATYPE(AutoImportRunSummary)

// Copies the photos and videos of a memory card (or any folder) into a dated
// folder: <root>/<M.d>-相机导出/照片 and .../视频. Pure QtCore, so it runs on a
// worker thread and in tests without a window. `run` blocks until the run has
// ended; every change of visible state is reported through the signals.
class AutoImportEngine : public QObject
{
    Q_OBJECT
public:
    using Kind = AutoImportFileReport::Kind;

    struct Options
    {
        QString rootPath;        // the stored destination root; empty: desktop
        QString desktopPath;     // fallback root
        bool dailyNewFolder = false;
        QDate date;              // the day that names the folder
        // Tests make a copy fail after its data was written: a non-empty
        // result is the error text.
        std::function<QString(const QString& name)> copyFault;
    };

    struct ScanResult
    {
        QStringList files;       // media files in enumeration order
        int unreadableCount = 0; // items that could not be read
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
    bool isCancelRequested() const { return m_cancel.load(); }

    void run(const QString& sourcePath, const Options& options);

Q_SIGNALS:
    void scanFinished(int totalCount);
    void fileHandled(const AutoImportFileReport& report);
    void runFinished(const AutoImportRunSummary& summary);

private:
    std::atomic<bool> m_cancel{false};
};
