#ifndef ORVANE_BOOTSTARTTASK_H
#define ORVANE_BOOTSTARTTASK_H

// The log-on entry that starts the program hidden ("--bootstart"): a scheduled task on Windows, an XDG autostart
// entry on Linux. Each call blocks its caller until the platform has answered.
namespace BootStartTask {
void create();
void remove();
bool exists();
} // namespace BootStartTask

#endif // ORVANE_BOOTSTARTTASK_H
