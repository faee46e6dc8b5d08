#include "lifetime.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int gSignalPipe[2] = {-1, -1};
constexpr int kParentCheckMs = 2000;

void onSignal(int)
{
    const char byte = 1;
    // Nothing useful to do if the pipe is full: a quit is already on its way.
    [[maybe_unused]] const ssize_t ignored = ::write(gSignalPipe[1], &byte, 1);
}
} // namespace

namespace Lifetime {
bool quitOnTerminationSignals(QObject* context)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gSignalPipe) != 0) {
        return false;
    }
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, []() {
        char buffer[16];
        while (::read(gSignalPipe[0], buffer, sizeof buffer) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    return true;
}

void quitWhenParentEnds(QObject* context)
{
    const pid_t parent = ::getppid();
    if (parent <= 1) {
        return;
    }
    auto* timer = new QTimer(context);
    QObject::connect(timer, &QTimer::timeout, context, [parent]() {
        if (::getppid() != parent) {
            QCoreApplication::quit();
        }
    });
    timer->start(kParentCheckMs);
}
} // namespace Lifetime
