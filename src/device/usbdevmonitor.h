// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_USBDEVMONITOR_H
#define ORVANE_USBDEVMONITOR_H

#include <QObject>
#include <QString>
#include <QtGui/qwindowdefs.h>

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
#ifdef Q_OS_WIN
    using NativeWindow = HWND__*;
#else
    using NativeWindow = WId;
#endif

    static USBDevMonitor* getInstance();

    void setDeviceInfo(int pid, int vid);
    // Arrival and removal notices for USB devices, for as long as the window lives.
    bool registerNotify(NativeWindow hWnd);
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
