#include "SplitRawJpgController.h"

#include "platform/Log.h"

#include <QCoreApplication>

SplitRawJpgController& SplitRawJpgController::shared()
{
    static SplitRawJpgController* instance = new SplitRawJpgController(QCoreApplication::instance());
    return *instance;
}

SplitRawJpgController::SplitRawJpgController(QObject* parent)
    : ToolRunController(parent)
{
}

void SplitRawJpgController::processFolder(const QString& folder)
{
    Log::line(QStringLiteral("🚀 [处理] 开始处理文件夹: ") + folder);
    m_rawCount = 0;
    m_jpgCount = 0;
    // Linux has no security-scoped access: it is always granted.
    Log::line(QStringLiteral("🔐 [沙盒] 获取安全访问权限: true"));
    // An older pass is left to finish; its reports are dropped.
    startRun<SplitRawJpgEngine>(QStringLiteral("split-raw-jpg"), [folder](SplitRawJpgEngine& e) { e.run(folder); },
                                &SplitRawJpgController::apply, &SplitRawJpgController::finish);
    Log::line(QStringLiteral("🔐 [沙盒] 已释放安全访问权限"));
}

void SplitRawJpgController::apply(const SplitRawJpgCounts& counts)
{
    m_rawCount = counts.raw;
    m_jpgCount = counts.jpg;
}

void SplitRawJpgController::finish(const SplitRawJpgCounts& counts)
{
    apply(counts);
    const QString summary
        = QStringLiteral("RAW %1个，JPG/HEIF %2个，跳过重复 %3个").arg(m_rawCount).arg(m_jpgCount).arg(m_skipCount);
    // As the panel says: files left behind mean the pass is not done.
    Log::line((m_failedCount > 0 ? QStringLiteral("❌ [完成] 处理未完成：") : QStringLiteral("✅ [完成] 处理完成："))
              + summary);
    if (m_failedCount > 0) {
        // A pass with failures must not sound like a finished one.
        Log::line(QStringLiteral("❌ [完成] 有 %1 项处理失败，未播放提示音，文件保留在原处").arg(m_failedCount));
    } else {
        playEndSound();
    }
}
