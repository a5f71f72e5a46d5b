#include "QuitSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_fds[2] = {-1, -1};

void handler(int sig)
{
    const unsigned char b = static_cast<unsigned char>(sig);
    // Only async-signal-safe work here.
    [[maybe_unused]] ssize_t n = ::write(g_fds[0], &b, 1);
}
}

QuitSignals& QuitSignals::install()
{
    static QuitSignals* instance = new QuitSignals;
    return *instance;
}

QuitSignals::QuitSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_fds) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &QuitSignals::onReadable);
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}

void QuitSignals::onReadable()
{
    unsigned char b = 0;
    if (::read(g_fds[1], &b, 1) != 1)
        return;
    Q_EMIT received(int(b));
    QCoreApplication::quit();
}
