// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_USBDEVMONITOR_H
#define ORVANE_USBDEVMONITOR_H

#include <QObject>
#include <QString>

#ifdef Q_OS_WIN
// The Windows types by their tags, so that every file including this one need not pull in <windows.h>.
struct HWND__;
struct tagMSG;
#endif

// Tells the device session when the display device arrives or leaves. One instance for the whole program.
class USBDevMonitor : public QObject
{
    Q_OBJECT

public:
    static USBDevMonitor* getInstance();

    void setDeviceInfo(int pid, int vid);
    // Arrival and removal notices for USB devices, for as long as `owner` lives. Windows sends them to a window,
    // whose handle `window` is (HWND); elsewhere no window is needed and it may be 0.
    bool registerNotify(quintptr window, QObject* owner);
#ifdef Q_OS_WIN
    bool eventHandler(tagMSG* msg, long* result);
#endif

    // True when the interface path names the device: it holds both ids, in hex, anywhere.
    bool matchesInterfacePath(const QString& path) const;
    // Every platform's arrival and removal notices end here, with the device's interface path.
    bool onDeviceInterfaceEvent(bool iSconnect, const QString& path);

signals:
    void signal_usbHidMonitor(bool state);
    // The device is there but this user may not open its node.
    void signal_usbHidNotAccessible(QString node);

private:
    USBDevMonitor();
#ifdef Q_OS_WIN
    bool parseEvent(bool iSconnect, void* pvMsg);
#endif

    int m_vid;
    int m_pid;
};

#endif // ORVANE_USBDEVMONITOR_H
