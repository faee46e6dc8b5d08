// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_TERMINATIONSIGNALS_H
#define ORVANE_TERMINATIONSIGNALS_H

#include <functional>

class QObject;

// Runs `onTerminate` on the GUI thread when the session asks the program to end (SIGTERM at log-out, SIGINT,
// SIGHUP), so that a desktop ending the program takes the same way out as the tray's exit entry. `context` owns
// the watcher.
void onTerminationSignals(QObject* context, std::function<void()> onTerminate);
// True from the moment such a signal came, before its handler has run: a thread blocked in a wait gives up on it, so
// that the way out is not held up by a slow sensor server.
bool terminationRequested();

#endif // ORVANE_TERMINATIONSIGNALS_H
