// SPDX-License-Identifier: GPL-3.0-or-later
#include "udevusbwatcher.h"

#include "usbdevmonitor.h"

#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>
#include <libudev.h>
#include <unistd.h>

namespace {

// The HID device between a USB interface and its hidraw node is named bus:vendor:product.instance in hex.
const QRegularExpression& hidDeviceName()
{
    static const QRegularExpression name(
        QStringLiteral("^([0-9A-Fa-f]{4}):([0-9A-Fa-f]{4}):([0-9A-Fa-f]{4})\\.[0-9A-Fa-f]+$"));
    return name;
}

constexpr int kBusUsb = 0x0003;

QString idsPath(const char* kind, int vid, int pid, const QByteArray& devpath)
{
    const QString vendor = QStringLiteral("%1").arg(vid, 4, 16, QLatin1Char('0')).toUpper();
    const QString product = QStringLiteral("%1").arg(pid, 4, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("%1#VID_%2&PID_%3#%4").arg(QLatin1String(kind), vendor, product, QString::fromUtf8(devpath));
}

bool readIds(const QByteArray& vendor, const QByteArray& product, int* vid, int* pid)
{
    bool vidOk = false;
    bool pidOk = false;
    *vid = vendor.toInt(&vidOk, 16);
    *pid = product.toInt(&pidOk, 16);
    return vidOk && pidOk;
}

} // namespace

UdevUsbWatcher::UdevUsbWatcher(USBDevMonitor* monitor, QObject* parent)
    : QObject(parent)
    , mMonitor(monitor)
    , mUdev(nullptr)
    , mUdevMonitor(nullptr)
    , mNotifier(nullptr)
    , mAccessCheck([](const QString& node) { return ::access(node.toLocal8Bit().constData(), R_OK | W_OK) == 0; })
{
}

UdevUsbWatcher::~UdevUsbWatcher()
{
    delete mNotifier;
    if (mUdevMonitor) {
        udev_monitor_unref(mUdevMonitor);
    }
    if (mUdev) {
        udev_unref(mUdev);
    }
}

bool UdevUsbWatcher::start()
{
    mUdev = udev_new();
    if (!mUdev) {
        return false;
    }
    // Events after udev has handled them, so that the nodes' permissions are final.
    mUdevMonitor = udev_monitor_new_from_netlink(mUdev, "udev");
    if (!mUdevMonitor) {
        return false;
    }
    udev_monitor_filter_add_match_subsystem_devtype(mUdevMonitor, "usb", "usb_device");
    udev_monitor_filter_add_match_subsystem_devtype(mUdevMonitor, "hidraw", nullptr);
    if (udev_monitor_enable_receiving(mUdevMonitor) < 0) {
        udev_monitor_unref(mUdevMonitor);
        mUdevMonitor = nullptr;
        return false;
    }
    mNotifier = new QSocketNotifier(udev_monitor_get_fd(mUdevMonitor), QSocketNotifier::Read);
    connect(mNotifier, &QSocketNotifier::activated, this, &UdevUsbWatcher::onReadable);
    // From the event loop: whoever shows the warning is set up by then.
    QTimer::singleShot(0, this, &UdevUsbWatcher::scanHidrawNodes);
    return true;
}

void UdevUsbWatcher::setAccessCheck(std::function<bool(const QString&)> check)
{
    mAccessCheck = std::move(check);
}

QString UdevUsbWatcher::usbInterfacePath(const UdevProperties& event)
{
    int vid = 0;
    int pid = 0;
    const QByteArray devpath = event.value("DEVPATH");
    if (readIds(event.value("ID_VENDOR_ID"), event.value("ID_MODEL_ID"), &vid, &pid)) {
        return idsPath("USB", vid, pid, devpath);
    }
    // The kernel's own PRODUCT=vendor/product/release, in hex without leading zeros, is there even when udev
    // has no database entry for the device.
    const QList<QByteArray> product = event.value("PRODUCT").split('/');
    if (product.size() == 3 && readIds(product.at(0), product.at(1), &vid, &pid)) {
        return idsPath("USB", vid, pid, devpath);
    }
    return QString();
}

void UdevUsbWatcher::handleEvent(const UdevProperties& event)
{
    const QByteArray action = event.value("ACTION");
    const QByteArray subsystem = event.value("SUBSYSTEM");
    const QByteArray devpath = event.value("DEVPATH");

    if (subsystem == "usb" && event.value("DEVTYPE") == "usb_device") {
        if (action != "add" && action != "remove") {
            return;
        }
        const QString path = usbInterfacePath(event);
        if (path.isEmpty()) {
            return;
        }
        if (action == "remove") {
            mReported.remove(devpath);
        }
        mMonitor->onDeviceInterfaceEvent(action == "add", path);
        return;
    }

    if (subsystem != "hidraw" || action != "add") {
        return;
    }
    const QList<QByteArray> parts = devpath.split('/');
    for (int i = 2; i < parts.size(); ++i) {
        const QRegularExpressionMatch hid = hidDeviceName().match(QString::fromLatin1(parts.at(i)));
        if (!hid.hasMatch()) {
            continue;
        }
        int vid = 0;
        int pid = 0;
        if (hid.captured(1).toInt(nullptr, 16) != kBusUsb ||
            !readIds(hid.captured(2).toLatin1(), hid.captured(3).toLatin1(), &vid, &pid) ||
            !mMonitor->matchesInterfacePath(idsPath("HID", vid, pid, devpath))) {
            return;
        }
        // Parent of the HID device is the USB interface, its parent the USB device.
        const QByteArray usbDevice = parts.mid(0, i - 1).join('/');
        const QString node = QString::fromLocal8Bit(event.value("DEVNAME"));
        if (node.isEmpty() || mReported.contains(usbDevice) || mAccessCheck(node)) {
            return;
        }
        mReported.insert(usbDevice);
        emit signal_notAccessible(node);
        return;
    }
}

void UdevUsbWatcher::onReadable()
{
    while (udev_device* device = udev_monitor_receive_device(mUdevMonitor)) {
        const UdevProperties event = propertiesOf(device);
        udev_device_unref(device);
        handleEvent(event);
    }
}

void UdevUsbWatcher::scanHidrawNodes()
{
    udev_enumerate* enumerate = udev_enumerate_new(mUdev);
    if (!enumerate) {
        return;
    }
    udev_enumerate_add_match_subsystem(enumerate, "hidraw");
    udev_enumerate_scan_devices(enumerate);
    QList<UdevProperties> found;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
    {
        udev_device* device = udev_device_new_from_syspath(mUdev, udev_list_entry_get_name(entry));
        if (!device) {
            continue;
        }
        UdevProperties event = propertiesOf(device);
        udev_device_unref(device);
        // A node that is already there counts as one that just came.
        event.insert("ACTION", "add");
        found.append(event);
    }
    udev_enumerate_unref(enumerate);
    for (const UdevProperties& event : qAsConst(found)) {
        handleEvent(event);
    }
}

UdevProperties UdevUsbWatcher::propertiesOf(udev_device* device)
{
    UdevProperties event;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_device_get_properties_list_entry(device))
    {
        event.insert(udev_list_entry_get_name(entry), udev_list_entry_get_value(entry));
    }
    auto fill = [&event](const char* key, const char* value) {
        if (value && !event.contains(key)) {
            event.insert(key, value);
        }
    };
    fill("ACTION", udev_device_get_action(device));
    fill("SUBSYSTEM", udev_device_get_subsystem(device));
    fill("DEVTYPE", udev_device_get_devtype(device));
    fill("DEVPATH", udev_device_get_devpath(device));
    fill("DEVNAME", udev_device_get_devnode(device));
    return event;
}
