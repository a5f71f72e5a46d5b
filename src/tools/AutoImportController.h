#pragma once

#include "AutoImportEngine.h"
#include "ToolRunController.h"

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
class AutoImportController : public ToolRunController
{
    Q_OBJECT
public:
    static AutoImportController& shared();

    explicit AutoImportController(QObject* parent = nullptr);
    ~AutoImportController() override;

    static bool dailyNewFolder();
    static void setDailyNewFolder(bool on);
    static QString importRootPath();
    static void setImportRootPath(const QString& path);
    // The stored root as the screen shows it, else the desktop, else "桌面".
    static QString importRootDisplayPath();

    // Starts a run; refused (false, with a log line) while one is running.
    bool processFolder(const QString& sourcePath);
    enum class CancelBy { user, quit };
    // The cancel button, or the app quitting: the file in hand is cut and removed.
    void requestCancel(CancelBy by = CancelBy::user);

    bool isCancelled() const { return m_isCancelled; }
    bool cancelRequested() const { return m_cancelRequested; }
    int photoCount() const { return m_photoCount; }
    int videoCount() const { return m_videoCount; }
    QString targetPath() const { return m_targetPath; }

    // Injection points for tests and the benchmark.
    void setDateProvider(std::function<QDate()> today) { m_today = std::move(today); }
    void setDesktopPath(const QString& path) { m_desktopPath = path; }

    // Blocks until the worker thread has gone and takes in what it reported,
    // so a quit right after a run still logs how it ended.
    void waitForWorker();

private:
    void apply(const AutoImportCounts& counts);
    void finish(const AutoImportOutcome& outcome);

    bool m_isCancelled = false;
    bool m_cancelRequested = false;
    int m_photoCount = 0;
    int m_videoCount = 0;
    QString m_targetPath;

    std::shared_ptr<AutoImportEngine> m_engine;

    std::function<QDate()> m_today;
    QString m_desktopPath;
};
