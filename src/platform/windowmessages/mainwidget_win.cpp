// SPDX-License-Identifier: GPL-3.0-or-later
// Windows messages of the main window: device changes and power broadcasts.
#include "mainwidget.h"
#include "usbdevmonitor.h"

#include <windows.h>

bool MainWidget::nativeEvent(const QByteArray& eventType, void* message, long* result)
{
    Q_UNUSED(eventType);
    const MSG* msg = static_cast<MSG*>(message);
    switch (msg->message) {
    case WM_DEVICECHANGE:
        return USBDevMonitor::getInstance()->eventHandler(static_cast<MSG*>(message), result);
    case WM_POWERBROADCAST:
        if (msg->wParam == PBT_APMSUSPEND) {
            onSystemSuspend();
        } else if (msg->wParam == PBT_APMRESUMEAUTOMATIC) {
            onSystemResume();
        }
        return false;
    default:
        return false;
    }
}
