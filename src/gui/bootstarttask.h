// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_BOOTSTARTTASK_H
#define ORVANE_BOOTSTARTTASK_H

class QString;

// The log-on entry that starts the program hidden ("--bootstart"): a scheduled task on Windows, an XDG autostart
// entry on Linux. Each call blocks its caller until the platform has answered.
namespace BootStartTask {
// False when the entry could not be written or deleted; `error` then says why (the reason is logged too).
bool create(QString* error = nullptr);
bool remove(QString* error = nullptr);
bool exists();
} // namespace BootStartTask

#endif // ORVANE_BOOTSTARTTASK_H
