// SPDX-License-Identifier: GPL-3.0-or-later
// Windows delivers sleep and wake to the main window's native-event hook; nothing to watch here.
#include "sleepwatcher.h"

SleepWatcher* SleepWatcher::create(QObject* parent)
{
    Q_UNUSED(parent);
    return nullptr;
}
