// SPDX-License-Identifier: GPL-3.0-or-later
// Device notices through the window: RegisterDeviceNotificationW and WM_DEVICECHANGE.
#include "usbdevmonitor.h"

#include <windows.h>
// dbt.h builds on the types of windows.h.
#include <dbt.h>

namespace {
// The device-interface class of USB devices, so that notices come for the device as a whole and carry its ids.
// In memory: 10 BF DC A5 30 65 D2 11 90 1F 00 C0 4F B9 51 ED.
const GUID GUID_CLASS_HID_USB = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
} // namespace

bool USBDevMonitor::registerNotify(quintptr window, QObject* owner)
{
    Q_UNUSED(owner);
    const HWND hWnd = reinterpret_cast<HWND>(window);
    DEV_BROADCAST_DEVICEINTERFACE_W filter;
    ZeroMemory(&filter, sizeof(filter));
    filter.dbcc_size = sizeof(DEV_BROADCAST_DEVICEINTERFACE_W);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_reserved = 0;
    filter.dbcc_classguid = GUID_CLASS_HID_USB;
    filter.dbcc_name[0] = 0;
    // The registration ends with the window; the handle is not needed before that.
    const HDEVNOTIFY notify = RegisterDeviceNotificationW(hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    return notify != nullptr;
}

bool USBDevMonitor::eventHandler(MSG* msg, long* result)
{
    Q_UNUSED(result);
    if (msg->message != WM_DEVICECHANGE) {
        return false;
    }
    switch (msg->wParam) {
    case DBT_DEVICEARRIVAL:
        return parseEvent(true, reinterpret_cast<void*>(msg->lParam));
    case DBT_DEVICEREMOVECOMPLETE:
        return parseEvent(false, reinterpret_cast<void*>(msg->lParam));
    default:
        return false;
    }
}

bool USBDevMonitor::parseEvent(bool iSconnect, void* pvMsg)
{
    const auto* header = static_cast<const DEV_BROADCAST_HDR*>(pvMsg);
    // Volume and port broadcasts reach every top-level window; only device interfaces carry a path.
    if (!header || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) {
        return false;
    }
    const auto* deviceInterface = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
    return onDeviceInterfaceEvent(iSconnect, QString::fromWCharArray(deviceInterface->dbcc_name));
}
