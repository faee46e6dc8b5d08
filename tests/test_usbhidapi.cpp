// SPDX-License-Identifier: GPL-3.0-or-later
// The HID transport over the simulated device, in-process: result codes, the calls that reach the library and
// their order, reply sizes, time-outs and closing.
#include "devicemodel.h"
#include "displaydevice.h"
#include "hidapi_sim.h"
#include "usbhidapi.h"
#include "usbprotocol.h"

#include <QElapsedTimer>
#include <QtTest>

namespace {
constexpr int kVid = DisplayDevice::kVendorId;
constexpr int kPid = DisplayDevice::kProductId;
using Log = std::vector<std::string>;
} // namespace

class TestUsbHidApi : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void openWithoutDevice();
    void openOtherIds();
    void callsInOrder();
    void replySizes_data();
    void replySizes();
    void lateReplyWithinTimeout();
    void noAnswer();
    void pulledOutWhileOpen();
    void closeTwiceAndBeforeOpen();

private:
    devsim::DeviceModel* mModel = nullptr;
};

void TestUsbHidApi::init()
{
    mModel = new devsim::DeviceModel;
    devsim::installModel(mModel);
    devsim::resetSimCalls();
    devsim::clearSimCallLog();
}

void TestUsbHidApi::cleanup()
{
    // Every test closes what it opened; a handle left over is a leak.
    QCOMPARE(devsim::simCalls().live, 0);
    devsim::installModel(nullptr);
    delete mModel;
    mModel = nullptr;
}

void TestUsbHidApi::openWithoutDevice()
{
    mModel->unplug();
    USBHidApi hid;
    QCOMPARE(hid.openHid(kVid, kPid), -2004);
    devsim::clearSimCallLog();

    USBProtocol protocol;
    QCOMPARE(hid.setData(protocol.GenerateScramblerSeed()), -2002);
    QByteArray reply("untouched");
    QCOMPARE(hid.getData(reply), -2002);
    QCOMPARE(reply, QByteArray("untouched"));
    uchar raw[64];
    uint len = 99;
    QCOMPARE(hid.getData(raw, &len), -2002);
    QCOMPARE(len, 99u);
    QCOMPARE(hid.closeHid(), 0);
    // Nothing reached the library after the failed open.
    QCOMPARE(devsim::simCallLog(), Log());
}

void TestUsbHidApi::openOtherIds()
{
    USBHidApi hid;
    QCOMPARE(hid.openHid(kVid, 0x1101), -2004);
    // Ids are cut to 16 bits before they reach the library.
    QCOMPARE(hid.openHid(kVid + 0x10000, kPid + 0x30000), 0);
    QCOMPARE(hid.closeHid(), 0);
}

void TestUsbHidApi::callsInOrder()
{
    USBHidApi hid;
    USBProtocol protocol;
    QCOMPARE(hid.openHid(kVid, kPid), 0);
    QCOMPARE(hid.setData(protocol.GenerateScramblerSeed()), 0);
    QByteArray reply;
    QCOMPARE(hid.getData(reply), 0);
    QCOMPARE(hid.closeHid(), 0);

    const Log expected {"open", "nonblocking 0", "write 64", "nonblocking 0", "read 65 2000", "nonblocking 1", "close"};
    QCOMPARE(devsim::simCallLog(), expected);
    QCOMPARE(mModel->events().size(), size_t(1));
    QCOMPARE(mModel->events().front().kind, devsim::EventKind::Seed);
    // The frame went out exactly as handed over, report number first.
    QCOMPARE(mModel->events().front().frame.size(), size_t(64));
    QCOMPARE(mModel->events().front().frame.at(0), uint8_t(0x01));
}

void TestUsbHidApi::replySizes_data()
{
    QTest::addColumn<bool>("reportId");
    QTest::addColumn<int>("cutTo");
    QTest::addColumn<uint>("delivered");
    QTest::addColumn<int>("arraySize");

    // A 64-byte report after its report number: the library gives 65, the caller gets 64.
    QTest::newRow("65 with report number") << true << 0 << 65u << 64;
    QTest::newRow("full 64") << false << 0 << 64u << 64;
    QTest::newRow("short") << false << 5 << 5u << 5;
    QTest::newRow("one byte") << true << 1 << 1u << 1;
}

void TestUsbHidApi::replySizes()
{
    QFETCH(bool, reportId);
    QFETCH(int, cutTo);
    QFETCH(uint, delivered);
    QFETCH(int, arraySize);

    mModel->setReportId(reportId);
    mModel->setReplySize(cutTo);
    mModel->setSeed(0x5A);
    USBHidApi hid;
    USBProtocol protocol;
    QCOMPARE(hid.openHid(kVid, kPid), 0);

    QCOMPARE(hid.setData(protocol.GenerateScramblerSeed()), 0);
    uchar raw[64];
    std::fill(std::begin(raw), std::end(raw), uchar(0xAA));
    uint len = 0;
    QCOMPARE(hid.getData(raw, &len), 0);
    QCOMPARE(len, delivered);
    QCOMPARE(raw[0], uchar(reportId ? 0x01 : 0xE3));

    QCOMPARE(hid.setData(protocol.GenerateScramblerSeed()), 0);
    QByteArray reply("old content");
    QCOMPARE(hid.getData(reply), 0);
    QCOMPARE(reply.size(), arraySize);
    QCOMPARE(reply.at(0), char(reportId ? 0x01 : 0xE3));
    QCOMPARE(hid.closeHid(), 0);
}

void TestUsbHidApi::lateReplyWithinTimeout()
{
    mModel->setDelayMs(300);
    USBHidApi hid;
    USBProtocol protocol;
    QCOMPARE(hid.openHid(kVid, kPid), 0);
    QCOMPARE(hid.setData(protocol.GenerateHardWareVersion()), 0);
    QByteArray reply;
    QCOMPARE(hid.getData(reply), 0);
    QCOMPARE(protocol.CheckResHardWareVersion(reply), QByteArray("DSP-V1.0.07"));
    QCOMPARE(hid.closeHid(), 0);
}

void TestUsbHidApi::noAnswer()
{
    mModel->setSilent(true);
    USBHidApi hid;
    USBProtocol protocol;
    QCOMPARE(hid.openHid(kVid, kPid), 0);
    QCOMPARE(hid.setData(protocol.GenerateScramblerSeed()), 0);

    QByteArray reply("caller's bytes");
    QElapsedTimer waited;
    waited.start();
    QCOMPARE(hid.getData(reply), -2006);
    // The library was asked to wait the whole time-out, and did.
    QVERIFY(waited.elapsed() >= 1900);
    QCOMPARE(devsim::simCallLog().back(), std::string("read 65 2000"));
    QCOMPARE(reply, QByteArray("caller's bytes"));
    QCOMPARE(hid.closeHid(), 0);
}

void TestUsbHidApi::pulledOutWhileOpen()
{
    USBHidApi hid;
    USBProtocol protocol;
    QCOMPARE(hid.openHid(kVid, kPid), 0);
    mModel->unplug();
    QCOMPARE(hid.setData(protocol.GenerateScramblerSeed()), -2005);
    QByteArray reply("kept");
    QCOMPARE(hid.getData(reply), -2006);
    QCOMPARE(reply, QByteArray("kept"));
    QCOMPARE(hid.closeHid(), 0);
    mModel->plug();
    QCOMPARE(hid.openHid(kVid, kPid), 0);
    QCOMPARE(hid.setData(protocol.GenerateScramblerSeed()), 0);
    QCOMPARE(hid.closeHid(), 0);
}

void TestUsbHidApi::closeTwiceAndBeforeOpen()
{
    USBHidApi hid;
    QCOMPARE(hid.closeHid(), 0);
    QCOMPARE(hid.openHid(kVid, kPid), 0);
    QCOMPARE(hid.closeHid(), 0);
    QCOMPARE(hid.closeHid(), 0);
    QCOMPARE(devsim::simCallLog(), (Log {"open", "nonblocking 1", "close"}));
    QCOMPARE(mModel->handleStats().closes, 1);
    QCOMPARE(mModel->handleStats().unknownCloses, 0);
}

QTEST_APPLESS_MAIN(TestUsbHidApi)
#include "test_usbhidapi.moc"
