// SPDX-License-Identifier: GPL-3.0-or-later
#include "usbdevmonitor.h"

USBDevMonitor::USBDevMonitor() : QObject(nullptr), m_vid(0), m_pid(0) { }

USBDevMonitor* USBDevMonitor::getInstance()
{
    static USBDevMonitor instance;
    return &instance;
}

void USBDevMonitor::setDeviceInfo(int pid, int vid)
{
    m_pid = pid;
    m_vid = vid;
}

bool USBDevMonitor::matchesInterfacePath(const QString& path) const
{
    if (m_vid == 0 && m_pid == 0) {
        return false;
    }
    if (!path.contains(QString::number(m_vid, 16), Qt::CaseInsensitive)) {
        return false;
    }
    return path.contains(QString::number(m_pid, 16), Qt::CaseInsensitive);
}

bool USBDevMonitor::onDeviceInterfaceEvent(bool iSconnect, const QString& path)
{
    if (!matchesInterfacePath(path)) {
        return false;
    }
    emit signal_usbHidMonitor(iSconnect);
    return true;
}
