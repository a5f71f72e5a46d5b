#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QThread;

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

    // processedCount / max(totalCount, 1), in whole percent and in
    // thousandths, computed in integers (29 of 100 is 29 %, never 28 %).
    int progressPercent() const;
    int progressPermille() const;
    static int percentOf(qint64 done, qint64 total);

    // Tests and the benchmark replace the end sound.
    void setSoundPlayer(std::function<void(float volume)> player) { m_playSound = std::move(player); }

    // Blocks until every worker thread has gone (quit, tests).
    void waitForWorkers();

Q_SIGNALS:
    void stateChanged();
    void runFinished();

protected:
    // A new generation with the shared counters reset; totalCount keeps the
    // last run's value until the scan reports.
    quint64 beginRun();
    void resetCounts();
    // The screen lets go of the run in hand: its reports are dropped from now.
    void detachRun() { ++m_generation; }
    bool isCurrent(quint64 generation) const { return generation == m_generation; }
    void startWorker(const QString& name, std::function<void()> work);
    // Runs `work` on a worker thread with `engine`'s reports filtered by the
    // current generation: its scan total sets totalCount, its coalesced
    // progress goes to `apply` and its end to `finish`. At quit every engine
    // still running is told to stop.
    template <class Engine, class Counts, class Outcome, class Derived>
    void launch(const QString& name, const std::shared_ptr<Engine>& engine, std::function<void()> work,
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

private:
    quint64 m_generation = 0;
    QList<QPointer<QThread>> m_threads;
    QList<std::function<void()>> m_stops;
    std::function<void(float)> m_playSound;
};

template <class Engine, class Counts, class Outcome, class Derived>
void ToolRunController::launch(const QString& name, const std::shared_ptr<Engine>& engine,
                               std::function<void()> work, void (Derived::*apply)(const Counts&),
                               void (Derived::*finish)(const Outcome&))
{
    const quint64 generation = m_generation;
    auto* self = static_cast<Derived*>(this);
    const std::weak_ptr<Engine> weak = engine;
    connect(engine.get(), &Engine::scanFinished, this, [this, generation](int total) {
        if (!isCurrent(generation))
            return;
        m_totalCount = total;
        Q_EMIT stateChanged();
    }, Qt::QueuedConnection);
    connect(engine.get(), &Engine::progressed, this, [this, self, generation, weak, apply](const Counts& counts) {
        if (const auto e = weak.lock())
            e->progressTaken();
        if (isCurrent(generation))
            (self->*apply)(counts);
    }, Qt::QueuedConnection);
    connect(engine.get(), &Engine::finished, this, [this, self, generation, finish](const Outcome& outcome) {
        if (isCurrent(generation))
            (self->*finish)(outcome);
    }, Qt::QueuedConnection);
    m_stops.append([weak] {
        if (const auto e = weak.lock())
            e->stop();
    });
    startWorker(name, std::move(work));
}
