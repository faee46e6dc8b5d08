// SPDX-License-Identifier: GPL-3.0-or-later
// The presence monitor: the vid/pid matcher shared by every platform, the Linux udev layer fed with events shaped
// like the kernel's and udev's, the warning for a device this user may not open, and the whole way from a udev
// event to the device session of a real main window.
#include "devicemodel.h"
#include "displaydevice.h"
#include "displayfeedprobe.h"
#include "hidapi_sim.h"
#include "udevusbwatcher.h"
#include "usbdevmonitor.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
constexpr int kVid = DisplayDevice::kVendorId;
constexpr int kPid = DisplayDevice::kProductId;

const QByteArray kDevicePath = "/devices/pci0000:00/0000:00:14.0/usb1/1-4";
const QByteArray kHidrawPath = kDevicePath + "/1-4:1.0/0003:0416:1100.0009/hidraw/hidraw3";

// A usb_device event as the udev monitor hands it over: the kernel's keys plus what udev's rules added.
UdevProperties usbDevice(const QByteArray& action,
                         const QByteArray& devpath,
                         const QByteArray& product,
                         const QByteArray& vendorId,
                         const QByteArray& modelId)
{
    UdevProperties event {{"ACTION", action},
                          {"DEVPATH", devpath},
                          {"SUBSYSTEM", "usb"},
                          {"DEVNAME", "/dev/bus/usb/001/007"},
                          {"DEVTYPE", "usb_device"},
                          {"PRODUCT", product},
                          {"TYPE", "0/0/0"},
                          {"BUSNUM", "001"},
                          {"DEVNUM", "007"},
                          {"SEQNUM", "4521"},
                          {"MAJOR", "189"},
                          {"MINOR", "6"}};
    if (!vendorId.isEmpty()) {
        event.insert("ID_VENDOR_ID", vendorId);
        event.insert("ID_MODEL_ID", modelId);
        event.insert("ID_BUS", "usb");
        event.insert("ID_USB_INTERFACES", ":030000:");
        event.insert("DRIVER", "usb");
    }
    return event;
}

UdevProperties ourDevice(const QByteArray& action)
{
    return usbDevice(action, kDevicePath, "416/1100/200", "0416", "1100");
}

UdevProperties hidraw(const QByteArray& action, const QByteArray& devpath, const QByteArray& node)
{
    return UdevProperties {{"ACTION", action},
                           {"DEVPATH", devpath},
                           {"SUBSYSTEM", "hidraw"},
                           {"DEVNAME", node},
                           {"MAJOR", "241"},
                           {"MINOR", "3"},
                           {"SEQNUM", "4530"}};
}

QList<bool> states(const QSignalSpy& spy)
{
    QList<bool> result;
    for (const QList<QVariant>& args : spy) {
        result << args.at(0).toBool();
    }
    return result;
}
} // namespace

Q_DECLARE_METATYPE(UdevProperties)

class TestUsbDevMonitor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void matcher_data();
    void matcher();
    void nothingBeforeIds();
    void udevEvents_data();
    void udevEvents();
    void accessWarning();
    void udevArrivalReachesTheSession();

private:
    USBDevMonitor* monitor() { return USBDevMonitor::getInstance(); }
};

void TestUsbDevMonitor::init()
{
    monitor()->setDeviceInfo(kPid, kVid);
}

void TestUsbDevMonitor::matcher_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("matches");

    const QString guid = QStringLiteral("{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    QTest::newRow("windows path") << QStringLiteral("\\\\?\\USB#VID_0416&PID_1100#6&2c3a1f&0&4#") + guid << true;
    QTest::newRow("lower case") << QStringLiteral("\\\\?\\usb#vid_0416&pid_1100#6&2c3a1f&0&4#") + guid << true;
    QTest::newRow("udev path") << QStringLiteral("USB#VID_0416&PID_1100#/devices/pci0000:00/usb1/1-4") << true;
    QTest::newRow("other vendor") << QStringLiteral("\\\\?\\USB#VID_046D&PID_C52B#5&1d2&0&3#") + guid << false;
    QTest::newRow("our vendor, other product")
        << QStringLiteral("\\\\?\\USB#VID_0416&PID_5020#7&1&0&1#") + guid << false;
    // A plain substring test: the ids anywhere, the serial number included, count as the device.
    QTest::newRow("ids in the serial") << QStringLiteral("\\\\?\\USB#VID_1234&PID_5678#A4161100#") + guid << true;
    QTest::newRow("empty") << QString() << false;
}

void TestUsbDevMonitor::matcher()
{
    QFETCH(QString, path);
    QFETCH(bool, matches);

    QSignalSpy spy(monitor(), &USBDevMonitor::signal_usbHidMonitor);
    QCOMPARE(monitor()->matchesInterfacePath(path), matches);
    QCOMPARE(monitor()->onDeviceInterfaceEvent(true, path), matches);
    QCOMPARE(monitor()->onDeviceInterfaceEvent(false, path), matches);
    QCOMPARE(states(spy), matches ? (QList<bool> {true, false}) : QList<bool>());
}

void TestUsbDevMonitor::nothingBeforeIds()
{
    monitor()->setDeviceInfo(0, 0);
    QSignalSpy spy(monitor(), &USBDevMonitor::signal_usbHidMonitor);
    QVERIFY(!monitor()->onDeviceInterfaceEvent(true, QStringLiteral("USB#VID_0416&PID_1100#0")));
    QVERIFY(!monitor()->onDeviceInterfaceEvent(true, QStringLiteral("USB#VID_0000&PID_0000#0")));
    QCOMPARE(spy.count(), 0);
}

void TestUsbDevMonitor::udevEvents_data()
{
    QTest::addColumn<UdevProperties>("event");
    QTest::addColumn<QList<bool>>("expected");

    const QList<bool> none;
    QTest::newRow("device arrives") << ourDevice("add") << QList<bool> {true};
    QTest::newRow("device leaves") << ourDevice("remove") << QList<bool> {false};
    // Without udev's database the kernel's PRODUCT still names the device.
    QTest::newRow("leaves, kernel keys only")
        << usbDevice("remove", kDevicePath, "416/1100/200", "", "") << QList<bool> {false};
    QTest::newRow("driver bound") << ourDevice("bind") << none;
    QTest::newRow("changed") << ourDevice("change") << none;
    UdevProperties iface = ourDevice("add");
    iface.insert("DEVTYPE", "usb_interface");
    iface.insert("DEVPATH", kDevicePath + "/1-4:1.0");
    iface.insert("INTERFACE", "3/0/0");
    iface.insert("MODALIAS", "usb:v0416p1100d0200dc00dsc00dp00ic03isc00ip00in00");
    // One notice per device, not one more per interface.
    QTest::newRow("its interface arrives") << iface << none;
    QTest::newRow("other device arrives")
        << usbDevice("add", "/devices/pci0000:00/0000:00:14.0/usb1/1-2", "46d/c52b/1211", "046d", "c52b") << none;
    QTest::newRow("other device leaves")
        << usbDevice("remove", "/devices/pci0000:00/0000:00:14.0/usb1/1-2", "46d/c52b/1211", "", "") << none;
    QTest::newRow("usb hub without ids") << usbDevice("add", "/devices/pci0000:00/0000:00:14.0/usb2", "", "", "")
                                         << none;
    QTest::newRow("block device") << UdevProperties {{"ACTION", "add"},
                                                     {"DEVPATH", "/devices/virtual/block/loop4"},
                                                     {"SUBSYSTEM", "block"},
                                                     {"DEVTYPE", "disk"},
                                                     {"DEVNAME", "/dev/loop4"},
                                                     {"MAJOR", "7"},
                                                     {"MINOR", "4"}}
                                  << none;
    QTest::newRow("its hidraw node") << hidraw("add", kHidrawPath, "/dev/hidraw3") << none;
}

void TestUsbDevMonitor::udevEvents()
{
    QFETCH(UdevProperties, event);
    QFETCH(QList<bool>, expected);

    UdevUsbWatcher watcher(monitor(), nullptr);
    watcher.setAccessCheck([](const QString&) { return true; });
    QSignalSpy spy(monitor(), &USBDevMonitor::signal_usbHidMonitor);
    watcher.handleEvent(event);
    QCOMPARE(states(spy), expected);
}

void TestUsbDevMonitor::accessWarning()
{
    UdevUsbWatcher watcher(monitor(), nullptr);
    QStringList readable {QStringLiteral("/dev/hidraw7")};
    watcher.setAccessCheck([&readable](const QString& node) { return readable.contains(node); });
    QSignalSpy spy(&watcher, &UdevUsbWatcher::signal_notAccessible);

    watcher.handleEvent(ourDevice("add"));
    watcher.handleEvent(hidraw("add", kHidrawPath, "/dev/hidraw3"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("/dev/hidraw3"));

    // Once per appearance: the device's second HID interface does not warn again.
    watcher.handleEvent(hidraw("add", kDevicePath + "/1-4:1.1/0003:0416:1100.000A/hidraw/hidraw4", "/dev/hidraw4"));
    QCOMPARE(spy.count(), 1);

    // Plugged in again: a new appearance.
    watcher.handleEvent(ourDevice("remove"));
    watcher.handleEvent(hidraw("remove", kHidrawPath, "/dev/hidraw3"));
    watcher.handleEvent(ourDevice("add"));
    watcher.handleEvent(hidraw("add", kHidrawPath, "/dev/hidraw3"));
    QCOMPARE(spy.count(), 2);

    // Nodes this user may open, and nodes of other devices or buses, say nothing.
    const QByteArray otherPort = "/devices/pci0000:00/0000:00:14.0/usb1/1-6";
    watcher.handleEvent(hidraw("add", otherPort + "/1-6:1.0/0003:0416:1100.000B/hidraw/hidraw7", "/dev/hidraw7"));
    watcher.handleEvent(hidraw("add", otherPort + "/1-6:1.0/0003:046D:C52B.000C/hidraw/hidraw8", "/dev/hidraw8"));
    watcher.handleEvent(hidraw("add", "/devices/virtual/misc/uhid/0005:0416:1100.000D/hidraw/hidraw9", "/dev/hidraw9"));
    QCOMPARE(spy.count(), 2);
}

void TestUsbDevMonitor::udevArrivalReachesTheSession()
{
    devsim::DeviceModel model;
    model.unplug();
    devsim::installModel(&model);
    {
        DisplayFeed feed(DisplayFeedProbe::byHand());
        feed.start();
        QVERIFY(!feed.isLinked());

        auto* watcher = feed.findChild<UdevUsbWatcher*>();
        if (!watcher) {
            devsim::installModel(nullptr);
            QSKIP("no udev monitor can be opened here");
        }
        watcher->setAccessCheck([](const QString&) { return false; });
        model.plug();
        watcher->handleEvent(ourDevice("add"));
        QVERIFY(feed.isLinked());
        QCOMPARE(model.handleStats().live, 1);

        QTest::ignoreMessage(QtWarningMsg,
                             "the display device is connected, but /dev/hidraw3 cannot be opened for reading "
                             "and writing by this user. Install the udev rule 70-orvane-display.rules (see the "
                             "README), then unplug the device and plug it in again.");
        watcher->handleEvent(hidraw("add", kHidrawPath, "/dev/hidraw3"));

        model.unplug();
        watcher->handleEvent(ourDevice("remove"));
        QVERIFY(!feed.isLinked());
        QCOMPARE(model.handleStats().live, 0);
    }
    devsim::installModel(nullptr);
}

QTEST_MAIN(TestUsbDevMonitor)
#include "test_usbdevmonitor.moc"
