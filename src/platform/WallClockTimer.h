#pragma once

#include <QObject>

class QSocketNotifier;

// A one-shot timer on the wall clock (a Linux timerfd on CLOCK_REALTIME): it
// fires at its moment also when the machine slept through it, and says when
// the clock is set, so a sleeper waits without waking to look at the time.
class WallClockTimer : public QObject
{
    Q_OBJECT
public:
    explicit WallClockTimer(QObject* parent = nullptr);
    ~WallClockTimer() override;

    // Fires once, `ms` from now by the wall clock (at once when 0 or less).
    void start(qint64 ms);
    void stop();
    bool isActive() const { return m_active; }

Q_SIGNALS:
    void timeout();
    // The wall clock was set by hand or by time sync: the wait must be
    // worked out again.
    void clockChanged();

private:
    void onReadable();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    bool m_active = false;
};
