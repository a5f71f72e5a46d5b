#include "QuickFilterController.h"

#include "QuickFilterKeywords.h"

#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "tools/ToolsKeys.h"

#include <QCoreApplication>

QuickFilterController& QuickFilterController::shared()
{
    static QuickFilterController* instance = new QuickFilterController(QCoreApplication::instance());
    return *instance;
}

QuickFilterController::QuickFilterController(QObject* parent)
    : ToolRunController(parent)
    , m_today([] { return QDate::currentDate(); })
{
}

bool QuickFilterController::missingRawList()
{
    return UserDefaults::standard().value(ToolsKeys::missingRawList);
}

void QuickFilterController::resetRun()
{
    m_isProcessing = false;
    m_isCompleted = false;
    resetCounts();
    m_totalCount = 0;
    m_matchCount = 0;
    m_outputFailed = false;
    m_outputPath.clear();
    m_missing.clear();
}

bool QuickFilterController::startExport(const QString& source, const QSet<QString>& keywords,
                                        QuickFilterEngine::Mode mode)
{
    if (source.isEmpty()) {
        Log::line(QStringLiteral("❌ [快速分片] 未选择素材文件夹"));
        return false;
    }
    if (keywords.isEmpty()) {
        Log::line(QStringLiteral("❌ [快速分片] 没有可用的筛选关键词"));
        return false;
    }
    Log::line(QStringLiteral("🔑 [快速分片] 筛选关键词列表: ")
              + QuickFilterKeywords::listText(QuickFilterKeywords::sorted(keywords)));
    resetRun();

    QuickFilterEngine::Options options;
    options.source = source;
    options.keywords = keywords;
    // Fixed for the run: a mode switched on the form later never turns a
    // copy under way into a move of the client's originals.
    options.mode = mode;
    options.date = m_today();
    options.missingListEnabled = [] { return missingRawList(); };

    startRun<QuickFilterEngine>(QStringLiteral("quick-filter"), [options](QuickFilterEngine& e) { e.run(options); },
                                &QuickFilterController::apply, &QuickFilterController::finish);
    return true;
}

void QuickFilterController::backToSetting()
{
    Log::line(QStringLiteral("↩️ [快速分片] 点击返回，回到设置界面"));
    detachRun();
    resetRun();
    Q_EMIT stateChanged();
}

void QuickFilterController::forgetCompleted()
{
    if (!m_isProcessing && m_isCompleted) {
        resetRun();
        Q_EMIT stateChanged();
    }
}

void QuickFilterController::apply(const QuickFilterCounts& counts)
{
    m_matchCount = counts.match;
}

void QuickFilterController::finish(const QuickFilterOutcome& outcome)
{
    apply(outcome.counts);
    m_outputFailed = outcome.outputFailed;
    m_outputPath = outcome.outputPath;
    m_missing = outcome.missing;
}
