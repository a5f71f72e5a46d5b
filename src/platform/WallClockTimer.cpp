#include "WallClockTimer.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include <sys/timerfd.h>
#include <unistd.h>

WallClockTimer::WallClockTimer(QObject* parent)
    : QObject(parent)
{
    m_fd = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &WallClockTimer::onReadable);
    }
}

WallClockTimer::~WallClockTimer()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void WallClockTimer::start(qint64 ms)
{
    if (m_fd < 0)
        return;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const qint64 at = qint64(now.tv_sec) * 1000000000 + now.tv_nsec + std::max<qint64>(ms, 0) * 1000000 + 1;
    itimerspec spec{};
    spec.it_value.tv_sec = time_t(at / 1000000000);
    spec.it_value.tv_nsec = long(at % 1000000000);
    m_active = ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &spec, nullptr) == 0;
}

void WallClockTimer::stop()
{
    if (m_fd < 0)
        return;
    itimerspec off{};
    ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &off, nullptr);
    m_active = false;
}

void WallClockTimer::onReadable()
{
    quint64 expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) == sizeof expirations) {
        m_active = false;
        Q_EMIT timeout();
    } else if (errno == ECANCELED) {
        Q_EMIT clockChanged();
    }
}
