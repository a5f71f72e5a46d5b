#include "ToolRunController.h"

#include "platform/CompletionSound.h"
#include "platform/UserDefaults.h"
#include "tools/ToolsKeys.h"

#include <QThread>
#include <QTimer>

#include <algorithm>
#include <utility>

ToolRunController::ToolRunController(QObject* parent)
    : QObject(parent)
    , m_playSound([](float volume) { CompletionSound::play(volume); })
    , m_refreshTimer(new QTimer(this))
{
    m_refreshTimer->setSingleShot(true);
    connect(m_refreshTimer, &QTimer::timeout, this, &ToolRunController::refreshNow);
}

ToolRunController::~ToolRunController()
{
    for (const auto& stop : std::as_const(m_stops))
        stop();
    waitForWorkers();
}

bool ToolRunController::soundEnabled()
{
    return UserDefaults::standard().value(ToolsKeys::autoImportSound);
}

int ToolRunController::volumePercent()
{
    return int(std::clamp<qint64>(UserDefaults::standard().value(ToolsKeys::autoImportVolume), -1000000, 1000000));
}

int ToolRunController::percentOf(qint64 done, qint64 total)
{
    return int(std::clamp<qint64>(done * 100 / std::max<qint64>(total, 1), 0, 100));
}

qint64 ToolRunController::progressMillionths() const
{
    constexpr qint64 kWhole = 1000000;
    if (m_isCompleted && !m_stoppedShort)
        return kWhole;
    // The file in hand adds its written share, kept below a whole file so
    // the run never reads 100 % before its last file is done.
    qint64 inFile = 0;
    if (m_fileSize > 0 && m_fileDone > 0)
        inFile = std::min<qint64>(qint64(static_cast<long double>(m_fileDone) * kWhole / m_fileSize), kWhole - 1);
    const qint64 done = qint64(m_processedCount) * kWhole + inFile;
    return std::clamp<qint64>(done / std::max(m_totalCount, 1), 0, kWhole);
}

int ToolRunController::currentNumber() const
{
    if (m_isProcessing && !m_currentFileName.isEmpty())
        return m_processedCount + 1;
    return m_processedCount;
}

int ToolRunController::progressPercent() const
{
    return int(progressMillionths() / 10000);
}

int ToolRunController::progressPermille() const
{
    return int(progressMillionths() / 1000);
}

void ToolRunController::resetCounts()
{
    dropPendingRefresh();
    m_processedCount = 0;
    m_skipCount = 0;
    m_failedCount = 0;
    m_currentFileName.clear();
    m_failures.clear();
    m_fileDone = 0;
    m_fileSize = 0;
}

void ToolRunController::forgetCompleted()
{
    if (m_isProcessing || !m_isCompleted)
        return;
    m_isCompleted = false;
    Q_EMIT stateChanged();
}

quint64 ToolRunController::beginRun()
{
    m_isProcessing = true;
    m_isCompleted = false;
    m_stoppedShort = false;
    resetCounts();
    return ++m_generation;
}

void ToolRunController::detachRun()
{
    dropPendingRefresh();
    ++m_generation;
}

void ToolRunController::takeCounts(const ToolRunCounts& counts)
{
    m_processedCount = counts.processed;
    m_skipCount = counts.skip;
    m_failedCount = counts.failed;
    m_currentFileName = counts.currentFileName;
    m_failures = counts.failures;
    m_fileDone = counts.fileDone;
    m_fileSize = counts.fileSize;
}

void ToolRunController::endRun()
{
    dropPendingRefresh();
    m_isProcessing = false;
    m_isCompleted = true;
    m_currentFileName.clear();
    m_fileDone = 0;
    m_fileSize = 0;
}

void ToolRunController::scheduleRefresh(std::function<void()> take)
{
    m_pendingTake = std::move(take);
    const qint64 wait = m_sinceRefresh.isValid() ? kRefreshMs - m_sinceRefresh.elapsed() : 0;
    if (wait <= 0)
        refreshNow();
    else if (!m_refreshTimer->isActive())
        m_refreshTimer->start(int(wait));
}

void ToolRunController::refreshNow()
{
    m_refreshTimer->stop();
    const std::function<void()> take = std::exchange(m_pendingTake, {});
    if (!take)
        return;
    m_sinceRefresh.start();
    take();
    Q_EMIT stateChanged();
}

void ToolRunController::dropPendingRefresh()
{
    m_refreshTimer->stop();
    m_pendingTake = {};
}

void ToolRunController::startWorker(const QString& name, std::function<void()> work)
{
    m_threads.removeAll(nullptr);
    QThread* thread = QThread::create(std::move(work));
    thread->setObjectName(name);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_threads.append(thread);
    thread->start();
}

void ToolRunController::waitForWorkers()
{
    for (const QPointer<QThread>& thread : std::as_const(m_threads)) {
        if (thread)
            thread->wait();
    }
    m_threads.removeAll(nullptr);
}

int ToolRunController::playEndSound()
{
    if (!soundEnabled())
        return -1;
    const int volume = volumePercent();
    if (m_playSound)
        m_playSound(float(volume) / 100.0f);
    return volume;
}
