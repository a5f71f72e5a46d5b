#pragma once

#include "AutoImportEngine.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QThread;

// The run state of the memory-card import. It outlives the screen, so a
// screen rebuilt mid-run shows the run in hand; one run at a time, because
// two runs would share the counters and end the panel early. All state is
// written on the main thread from the worker's queued reports.
class AutoImportController : public QObject
{
    Q_OBJECT
public:
    static AutoImportController& shared();

    explicit AutoImportController(QObject* parent = nullptr);
    ~AutoImportController() override;

    // Preference keys and their defaults.
    static constexpr const char* kSoundKey = "autoImportSound";
    static constexpr const char* kVolumeKey = "autoImportVolume";
    static constexpr const char* kDailyNewFolderKey = "dailyNewFolder";
    static constexpr const char* kRootPathKey = "autoImportRootPath";
    static constexpr bool kDefaultSound = true;
    static constexpr int kDefaultVolume = 80;

    static bool soundEnabled();
    static int volumePercent();
    static bool dailyNewFolder();
    static void setDailyNewFolder(bool on);
    static QString importRootPath();
    static void setImportRootPath(const QString& path);
    // The stored root as the screen shows it, else the desktop, else "桌面".
    static QString importRootDisplayPath();

    // Starts a run; refused (false, with a log line) while one is running.
    bool processFolder(const QString& sourcePath);
    // The cancel button: the run stops after the file in hand.
    void requestCancel();

    bool isProcessing() const { return m_isProcessing; }
    bool isCompleted() const { return m_isCompleted; }
    bool isCancelled() const { return m_isCancelled; }
    bool cancelRequested() const { return m_cancelRequested; }
    int processedCount() const { return m_processedCount; }
    int totalCount() const { return m_totalCount; }
    int photoCount() const { return m_photoCount; }
    int videoCount() const { return m_videoCount; }
    int skipCount() const { return m_skipCount; }
    int failedCount() const { return m_failedCount; }
    QString currentFileName() const { return m_currentFileName; }
    QString targetPath() const { return m_targetPath; }

    // processedCount / max(totalCount, 1), in whole percent and in
    // thousandths, computed in integers (29 of 100 is 29 %, never 28 %).
    int progressPercent() const;
    int progressPermille() const;
    static int percentOf(qint64 done, qint64 total);

    // Injection points for tests and the benchmark.
    void setDateProvider(std::function<QDate()> today) { m_today = std::move(today); }
    void setDesktopPath(const QString& path) { m_desktopPath = path; }
    void setSoundPlayer(std::function<void(float volume)> player) { m_playSound = std::move(player); }
    void setCopyFault(std::function<QString(const QString&)> fault) { m_copyFault = std::move(fault); }

    // Blocks until the worker thread has gone (quit, tests).
    void waitForWorker();

Q_SIGNALS:
    void stateChanged();
    void runFinished();

private:
    void onScanFinished(int total);
    void onFileHandled(const AutoImportFileReport& report);
    void onRunFinished(const AutoImportRunSummary& summary);

    bool m_isProcessing = false;
    bool m_isCompleted = false;
    bool m_isCancelled = false;
    bool m_cancelRequested = false;
    int m_processedCount = 0;
    int m_totalCount = 0;
    int m_photoCount = 0;
    int m_videoCount = 0;
    int m_skipCount = 0;
    int m_failedCount = 0;
    QString m_currentFileName;
    QString m_targetPath;

    std::shared_ptr<AutoImportEngine> m_engine;
    QPointer<QThread> m_thread;

    std::function<QDate()> m_today;
    QString m_desktopPath;
    std::function<void(float)> m_playSound;
    std::function<QString(const QString&)> m_copyFault;
};
