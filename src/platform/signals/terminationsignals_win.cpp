// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminationsignals.h"

// Windows ends a GUI program through its windows (WM_CLOSE/WM_ENDSESSION), which Qt already turns into events.
void onTerminationSignals(QObject*, std::function<void()>) { }

bool terminationRequested()
{
    return false;
}
