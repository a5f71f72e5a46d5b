#include "AutoImportController.h"

#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "tools/ToolsKeys.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>

#include <algorithm>

AutoImportController& AutoImportController::shared()
{
    static AutoImportController* instance = [] {
        auto* c = new AutoImportController(QCoreApplication::instance());
        return c;
    }();
    return *instance;
}

AutoImportController::AutoImportController(QObject* parent)
    : ToolRunController(parent)
    , m_today([] { return QDate::currentDate(); })
{
}

AutoImportController::~AutoImportController()
{
    if (m_engine)
        m_engine->requestCancel();
    waitForWorkers();
}

bool AutoImportController::dailyNewFolder()
{
    return UserDefaults::standard().value(ToolsKeys::dailyNewFolder);
}

void AutoImportController::setDailyNewFolder(bool on)
{
    UserDefaults::standard().set(ToolsKeys::dailyNewFolder, on);
}

QString AutoImportController::importRootPath()
{
    return UserDefaults::standard().value(ToolsKeys::autoImportRootPath);
}

void AutoImportController::setImportRootPath(const QString& path)
{
    UserDefaults::standard().set(ToolsKeys::autoImportRootPath, path);
}

QString AutoImportController::importRootDisplayPath()
{
    const QString root = importRootPath();
    if (!root.isEmpty())
        return root;
    const QString desktop = Paths::desktopDir();
    return desktop.isEmpty() ? QStringLiteral("桌面") : desktop;
}

void AutoImportController::waitForWorker()
{
    waitForWorkers();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

bool AutoImportController::processFolder(const QString& sourcePath)
{
    if (m_isProcessing) {
        Log::line(QStringLiteral("⚠️ [导片] 正在导片中，请等待当前导片完成或取消后再开始: ") + sourcePath);
        return false;
    }
    Log::line(QStringLiteral("🚀 [导片] 开始导片，源路径: ") + sourcePath);
    // A previous worker may still be releasing its inhibitor; let it finish.
    waitForWorkers();
    m_isCancelled = false;
    m_cancelRequested = false;
    m_photoCount = 0;
    m_videoCount = 0;
    m_targetPath.clear();
    // totalCount keeps the last run's value until the scan reports.

    AutoImportEngine::Options options;
    options.rootPath = importRootPath();
    options.desktopPath = m_desktopPath.isEmpty() ? Paths::desktopDir() : m_desktopPath;
    options.dailyNewFolder = dailyNewFolder();
    options.date = m_today();
    m_engine = startRun<AutoImportEngine>(
        QStringLiteral("auto-import"), [sourcePath, options](AutoImportEngine& e) { e.run(sourcePath, options); },
        &AutoImportController::apply, &AutoImportController::finish);
    return true;
}

void AutoImportController::requestCancel(CancelBy by)
{
    if (!m_isProcessing)
        return;
    m_cancelRequested = true;
    // Once every file is handled there is nothing left to stop.
    if (m_engine->filesDone())
        return;
    m_engine->requestCancel();
    Log::line(by == CancelBy::user
                  ? QStringLiteral("🛑 [取消] 用户点击取消导入，将在当前文件复制完成后停止（已复制文件保留）")
                  : QStringLiteral("🛑 [取消] 应用退出，停止导入（已复制文件保留）"));
    Q_EMIT stateChanged();
}

void AutoImportController::apply(const AutoImportCounts& counts)
{
    m_photoCount = counts.photos;
    m_videoCount = counts.videos;
}

void AutoImportController::finish(const AutoImportOutcome& outcome)
{
    apply(outcome.counts);
    // Cancelled only when the cancel left files behind: a cancel that came
    // after the last file has nothing to report.
    m_isCancelled = outcome.notCopied > 0;
    m_stoppedShort = m_isCancelled;
    m_targetPath = outcome.targetPath;

    const QString counts = QStringLiteral("照片 %1张，视频 %2个，跳过重复 %3个")
                               .arg(m_photoCount)
                               .arg(m_videoCount)
                               .arg(m_skipCount);
    if (m_isCancelled)
        Log::line(QStringLiteral("🛑 [取消] 导片已取消：") + counts + QStringLiteral("（已复制文件保留）"));
    else if (m_failedCount > 0) // as the panel says: the card is not all on the disk
        Log::line(QStringLiteral("❌ [完成] 导片未完成：") + counts);
    else
        Log::line(QStringLiteral("✅ [完成] 导片完成：") + counts);
    Log::line(QStringLiteral("✅ [完成] 目标位置: ") + m_targetPath);

    if (m_failedCount > 0) {
        // A failed run must not sound like a finished one.
        Log::line(QStringLiteral("❌ [完成] 有 %1 个文件导入失败，未播放提示音，请检查存储卡和目标磁盘")
                      .arg(m_failedCount));
    } else if (m_totalCount == 0) {
        Log::line(QStringLiteral("⚠️ [完成] 未找到照片或视频，未播放提示音"));
    } else if (!m_cancelRequested) {
        const int volume = playEndSound();
        if (volume >= 0)
            Log::line(QStringLiteral("🔔 [提示音] 导片完成，按音量 %1% 播放内置提示音").arg(volume));
    }
}
