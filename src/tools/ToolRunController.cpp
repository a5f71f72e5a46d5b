#include "ToolRunController.h"

#include "platform/CompletionSound.h"
#include "platform/UserDefaults.h"
#include "tools/ToolsKeys.h"

#include <QThread>

#include <algorithm>

ToolRunController::ToolRunController(QObject* parent)
    : QObject(parent)
    , m_playSound([](float volume) { CompletionSound::play(volume); })
{
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

int ToolRunController::progressPercent() const
{
    return m_isCompleted && !m_stoppedShort ? 100 : percentOf(m_processedCount, m_totalCount);
}

int ToolRunController::progressPermille() const
{
    if (m_isCompleted && !m_stoppedShort)
        return 1000;
    return int(std::clamp<qint64>(qint64(m_processedCount) * 1000 / std::max(m_totalCount, 1), 0, 1000));
}

void ToolRunController::resetCounts()
{
    m_processedCount = 0;
    m_skipCount = 0;
    m_failedCount = 0;
    m_currentFileName.clear();
}

quint64 ToolRunController::beginRun()
{
    m_isProcessing = true;
    m_isCompleted = false;
    m_stoppedShort = false;
    resetCounts();
    return ++m_generation;
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
