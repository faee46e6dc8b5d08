// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminationsignals.h"

#include <QObject>
#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int gSignalPipe[2] = {-1, -1};
// Lock-free, so that the handler may set it.
std::atomic<bool> gRequested {false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler may set only a lock-free atomic");

void writeSignal(int signal)
{
    gRequested.store(true);
    const char byte = static_cast<char>(signal);
    // Only async-signal-safe work here: the GUI thread picks the byte up through the notifier.
    [[maybe_unused]] const ssize_t written = ::write(gSignalPipe[0], &byte, 1);
}
} // namespace

void onTerminationSignals(QObject* context, std::function<void()> onTerminate)
{
    if (gSignalPipe[0] != -1 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(gSignalPipe[1], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [notifier, onTerminate]() {
        char byte = 0;
        if (::read(gSignalPipe[1], &byte, 1) == 1) {
            // A second signal while the exit runs ends the program the hard way, as the user expects.
            notifier->setEnabled(false);
            std::signal(SIGTERM, SIG_DFL);
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGHUP, SIG_DFL);
            onTerminate();
        }
    });

    struct sigaction action = {};
    action.sa_handler = writeSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool terminationRequested()
{
    return gRequested.load();
}
