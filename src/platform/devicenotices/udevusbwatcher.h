// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_UDEVUSBWATCHER_H
#define ORVANE_UDEVUSBWATCHER_H

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>

class QSocketNotifier;
class USBDevMonitor;
struct udev;
struct udev_device;
struct udev_monitor;

// The properties of one udev event, as libudev gives them (ACTION, SUBSYSTEM, DEVTYPE, DEVPATH, DEVNAME, ...).
using UdevProperties = QMap<QByteArray, QByteArray>;

// Linux stand-in for the window's device notices: USB devices arriving and leaving, read from udev on the GUI
// thread, each turned into an interface path for the monitor's matcher. It also notices the display's hidraw
// nodes and reports one that this user may not open, once per time the device is plugged in.
class UdevUsbWatcher : public QObject
{
    Q_OBJECT

public:
    UdevUsbWatcher(USBDevMonitor* monitor, QObject* parent);
    ~UdevUsbWatcher() override;

    // Starts listening and, from the event loop, looks at the hidraw nodes already there. False without udev.
    bool start();

    // One event: a usb_device that came or went becomes an interface path for the monitor; a hidraw node that
    // came is checked for access.
    void handleEvent(const UdevProperties& event);
    // For tests: whether this user may read and write a device node.
    void setAccessCheck(std::function<bool(const QString& node)> check);

    // "USB#VID_0416&PID_1100#<devpath>" for a USB device's event, or empty when it carries no ids.
    static QString usbInterfacePath(const UdevProperties& event);

signals:
    void signal_notAccessible(QString node);

private:
    void onReadable();
    void scanHidrawNodes();
    static UdevProperties propertiesOf(udev_device* device);

    USBDevMonitor* mMonitor;
    udev* mUdev;
    udev_monitor* mUdevMonitor;
    QSocketNotifier* mNotifier;
    std::function<bool(const QString&)> mAccessCheck;
    // USB devices (by devpath) already reported as not accessible since they were plugged in.
    QSet<QByteArray> mReported;
};

#endif // ORVANE_UDEVUSBWATCHER_H
