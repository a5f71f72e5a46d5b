#pragma once

#include "ToolRunCounts.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <type_traits>

class QThread;
class QTimer;

// What every file tool's run shows: the running and completed flags, the
// counters of the progress panel and the file in hand. The state is written
// on the main thread only, from the worker's queued reports. Each run gets a
// generation number; reports of an older run (a second drop, a "返回") are
// dropped, so two runs never mix their counts on one screen.
class ToolRunController : public QObject
{
    Q_OBJECT
public:
    explicit ToolRunController(QObject* parent = nullptr);
    ~ToolRunController() override;

    // The end sound's preferences, shared with the settings screen.
    static bool soundEnabled();
    static int volumePercent();

    bool isProcessing() const { return m_isProcessing; }
    bool isCompleted() const { return m_isCompleted; }
    int processedCount() const { return m_processedCount; }
    int totalCount() const { return m_totalCount; }
    int skipCount() const { return m_skipCount; }
    int failedCount() const { return m_failedCount; }
    QString currentFileName() const { return m_currentFileName; }
    // The number of the file in hand while one is (the second file reads
    // 2), else the files handled.
    int currentNumber() const;
    // The first failures with their causes, in the order met.
    const QList<QPair<QString, QString>>& failures() const { return m_failures; }

    // The handled files plus the written share of the file in hand, over
    // max(totalCount, 1), in whole percent and in thousandths, cut toward
    // zero and computed in integers (29 of 100 is 29 %, never 28 %).
    int progressPercent() const;
    int progressPermille() const;
    static int percentOf(qint64 done, qint64 total);

    // The panel is refreshed at most this often, however fast files go.
    static constexpr int kRefreshMs = 50;

    // Tests and the benchmark replace the end sound.
    void setSoundPlayer(std::function<void(float volume)> player) { m_playSound = std::move(player); }

    // Blocks until every worker thread has gone (quit, tests).
    void waitForWorkers();

    // A new screen starts from its idle view unless a run is going on.
    virtual void forgetCompleted();

Q_SIGNALS:
    void stateChanged();
    void runFinished();

protected:
    // A new generation with the shared counters reset; totalCount keeps the
    // last run's value until the scan reports.
    quint64 beginRun();
    void resetCounts();
    // The screen lets go of the run in hand: its reports are dropped from now.
    void detachRun();
    bool isCurrent(quint64 generation) const { return generation == m_generation; }
    void startWorker(const QString& name, std::function<void()> work);
    // Begins a run and does `work` with a new engine on a worker thread. The
    // engine's scan total sets totalCount; its progress, taken at most every
    // kRefreshMs, sets the shared counts and goes to `apply`; its end sets
    // them again, ends the run and goes to `finish`. Reports of an older run
    // are dropped. At quit every engine still running is told to stop.
    template <class Engine, class Derived, class Counts, class Outcome>
    std::shared_ptr<Engine> startRun(const QString& name, std::function<void(Engine&)> work,
                                     void (Derived::*apply)(const Counts&), void (Derived::*finish)(const Outcome&));
    // Plays the end sound when the preference allows; returns the volume used
    // or -1 when nothing played.
    int playEndSound();

    bool m_isProcessing = false;
    bool m_isCompleted = false;
    // Ended before its work was done: the bar keeps the real figure.
    bool m_stoppedShort = false;
    int m_processedCount = 0;
    int m_totalCount = 0;
    int m_skipCount = 0;
    int m_failedCount = 0;
    QString m_currentFileName;
    QList<QPair<QString, QString>> m_failures;
    qint64 m_fileDone = 0;
    qint64 m_fileSize = 0;

private:
    void takeCounts(const ToolRunCounts& counts);
    void endRun();
    // Runs `take` now, or once kRefreshMs have passed since the last refresh.
    void scheduleRefresh(std::function<void()> take);
    void refreshNow();
    void dropPendingRefresh();
    // Millionths of the whole run done.
    qint64 progressMillionths() const;

    quint64 m_generation = 0;
    QList<QPointer<QThread>> m_threads;
    QList<std::function<void()>> m_stops;
    std::function<void(float)> m_playSound;
    QTimer* m_refreshTimer;
    QElapsedTimer m_sinceRefresh;
    std::function<void()> m_pendingTake;
};

template <class Engine, class Derived, class Counts, class Outcome>
std::shared_ptr<Engine> ToolRunController::startRun(const QString& name, std::function<void(Engine&)> work,
                                                    void (Derived::*apply)(const Counts&),
                                                    void (Derived::*finish)(const Outcome&))
{
    const quint64 generation = beginRun();
    auto* self = static_cast<Derived*>(this);
    auto engine = std::make_shared<Engine>();
    const std::weak_ptr<Engine> weak = engine;
    connect(engine.get(), &Engine::scanFinished, this, [this, generation](int total) {
        if (!isCurrent(generation))
            return;
        m_totalCount = total;
        Q_EMIT stateChanged();
    }, Qt::QueuedConnection);
    connect(engine.get(), &Engine::progressed, this, [this, self, generation, weak, apply] {
        if (!isCurrent(generation))
            return;
        scheduleRefresh([this, self, weak, apply] {
            if (const auto e = weak.lock()) {
                const Counts counts = e->takeProgress();
                takeCounts(counts);
                (self->*apply)(counts);
            }
        });
    }, Qt::QueuedConnection);
    connect(engine.get(), &Engine::finished, this, [this, self, generation, finish](const Outcome& outcome) {
        if (!isCurrent(generation))
            return;
        if constexpr (std::is_base_of_v<ToolRunCounts, Outcome>)
            takeCounts(outcome);
        else
            takeCounts(outcome.counts);
        endRun();
        (self->*finish)(outcome);
        Q_EMIT stateChanged();
        Q_EMIT runFinished();
    }, Qt::QueuedConnection);
    m_stops.append([weak] {
        if (const auto e = weak.lock())
            e->stop();
    });
    startWorker(name, [engine, work = std::move(work)] { work(*engine); });
    Q_EMIT stateChanged();
    return engine;
}
