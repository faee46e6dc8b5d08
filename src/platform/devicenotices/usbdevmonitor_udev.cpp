// SPDX-License-Identifier: GPL-3.0-or-later
// Device notices on Linux: a udev watcher that lives as long as its owner; no window is involved.
#include "logcategories.h"
#include "udevusbwatcher.h"
#include "usbdevmonitor.h"

bool USBDevMonitor::registerNotify(quintptr window, QObject* owner)
{
    Q_UNUSED(window);
    auto* watcher = new UdevUsbWatcher(this, owner);
    connect(watcher, &UdevUsbWatcher::signal_notAccessible, this, &USBDevMonitor::signal_usbHidNotAccessible);
    if (!watcher->start()) {
        // No udev: arrivals go unnoticed and the session's retry with every reading carries on.
        qCWarning(lcPlatform) << "no udev monitor: a display plugged in is noticed at the next reading";
        delete watcher;
        return false;
    }
    return true;
}
