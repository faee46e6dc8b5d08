// SPDX-License-Identifier: GPL-3.0-or-later
// The device session of a real main window against the simulated device: handshake, value frames, arrival,
// removal, silence, late replies and the frame index, with the handles the library saw.
#include "dashboardstyles.h"
#include "devicemodel.h"
#include "hidapi_sim.h"
#include "mainwidgetprobe.h"

#include <QLabel>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {
using Log = std::vector<std::string>;

ST_HWINFO_DATA sensorReading(int temperature, int load, int fan)
{
    ST_HWINFO_DATA data;
    data.cputmp = temperature;
    data.cpuload = load;
    data.cpufan = fan;
    return data;
}

std::vector<devsim::Event> eventsOf(const devsim::DeviceModel& model, devsim::EventKind kind)
{
    std::vector<devsim::Event> found;
    for (const devsim::Event& event : model.events()) {
        if (event.kind == kind) {
            found.push_back(event);
        }
    }
    return found;
}
} // namespace

class TestDeviceSession : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startWithoutDeviceThenPlugIn();
    void arrivalOfDeviceThatCannotOpen();
    void handshakeReplies_data();
    void handshakeReplies();
    void replyWithoutMarker();
    void silentDevice();
    void removal();
    void lateReplyEndsSessionAndNextReadingRecovers();
    void pulledOutWithoutNotice();
    void frameIndexRunsOnAcrossReconnects();
    void repeatedArrivalsLeakNoHandle();

private:
    MainWidget& widget();
    void makeWidget();
    void finishSweep();
    void reading(int temperature, int load, int fan);
    void invoke(const char* slot);
    void arrival(bool present);
    QString linkState();
    bool linked();

    devsim::DeviceModel* mModel = nullptr;
    std::unique_ptr<MainWidget> mWidget;
};

void TestDeviceSession::init()
{
    mModel = new devsim::DeviceModel;
    devsim::installModel(mModel);
    devsim::resetSimCalls();
    devsim::clearSimCallLog();
}

void TestDeviceSession::cleanup()
{
    if (mWidget) {
        // The exit path closes the device; the session's own disconnect does the same here.
        invoke("onUsbDisConnect");
        mWidget.reset();
    }
    QCOMPARE(mModel->handleStats().live, 0);
    QCOMPARE(mModel->handleStats().unknownCloses, 0);
    devsim::installModel(nullptr);
    delete mModel;
    mModel = nullptr;
}

MainWidget& TestDeviceSession::widget()
{
    return *mWidget;
}

void TestDeviceSession::makeWidget()
{
    mWidget = std::make_unique<MainWidget>();
    // Ticks are driven by hand.
    MainWidgetProbe::sysTimer(widget())->stop();
}

void TestDeviceSession::finishSweep()
{
    MainWidgetProbe::tick(widget(), 120);
    QVERIFY(MainWidgetProbe::isFinishInit(widget()));
}

void TestDeviceSession::reading(int temperature, int load, int fan)
{
    QVERIFY(QMetaObject::invokeMethod(mWidget.get(),
                                      "slot_hwReadData",
                                      Qt::DirectConnection,
                                      Q_ARG(ST_HWINFO_DATA, sensorReading(temperature, load, fan))));
}

void TestDeviceSession::invoke(const char* slot)
{
    QVERIFY(QMetaObject::invokeMethod(mWidget.get(), slot, Qt::DirectConnection));
}

void TestDeviceSession::arrival(bool present)
{
    QVERIFY(QMetaObject::invokeMethod(mWidget.get(), "slot_usbHidMonitor", Qt::DirectConnection, Q_ARG(bool, present)));
}

QString TestDeviceSession::linkState()
{
    return MainWidgetProbe::ui(widget())->main_img_linkstate->styleSheet();
}

bool TestDeviceSession::linked()
{
    return MainWidgetProbe::isUsbConnect(widget());
}

void TestDeviceSession::startWithoutDeviceThenPlugIn()
{
    mModel->unplug();
    makeWidget();
    QCOMPARE(linkState(), kLinkStateNotLinked);
    QVERIFY(!linked());
    // The first handshake ends at the open step.
    QCOMPARE(devsim::simCallLog(), (Log {"open", "open-failed"}));

    finishSweep();
    reading(45, 12, 1500);
    QCOMPARE(mModel->handleStats().failedOpens, 2);
    QVERIFY(!linked());
    QCOMPARE(linkState(), kLinkStateNotLinked);

    mModel->plug();
    arrival(true);
    QVERIFY(linked());
    QCOMPARE(linkState(), kLinkStateLinked);
    QCOMPARE(int(MainWidgetProbe::seedValue(widget())), mModel->lastSeed());

    reading(45, 12, 1500);
    const auto values = eventsOf(*mModel, devsim::EventKind::Value);
    QCOMPARE(values.size(), size_t(1));
    QCOMPARE(values.at(0).index, 0);
    QCOMPARE(values.at(0).temp, 45);
    QCOMPARE(values.at(0).fan, 1500);
    QCOMPARE(values.at(0).load, 12);
    QVERIFY(eventsOf(*mModel, devsim::EventKind::BadFrame).empty());
}

void TestDeviceSession::arrivalOfDeviceThatCannotOpen()
{
    mModel->unplug();
    makeWidget();
    // The notice shows the linked picture at once; the failed handshake leaves it there.
    arrival(true);
    QCOMPARE(linkState(), kLinkStateLinked);
    QVERIFY(!linked());
    QCOMPARE(mModel->handleStats().failedOpens, 2);
}

void TestDeviceSession::handshakeReplies_data()
{
    QTest::addColumn<bool>("reportId");
    QTest::addColumn<int>("seed");

    QTest::newRow("marker at byte 1") << true << 0x5A;
    QTest::newRow("marker at byte 0") << false << 0x5A;
    QTest::newRow("seed equal to the marker, at 1") << true << 0xE3;
    QTest::newRow("seed equal to the marker, at 0") << false << 0xE3;
    QTest::newRow("seed 0") << true << 0;
    QTest::newRow("odd seed") << false << 0x81;
}

void TestDeviceSession::handshakeReplies()
{
    QFETCH(bool, reportId);
    QFETCH(int, seed);

    mModel->setReportId(reportId);
    mModel->setSeed(seed);
    makeWidget();
    QVERIFY(linked());
    QCOMPARE(linkState(), kLinkStateLinked);
    QCOMPARE(int(MainWidgetProbe::seedValue(widget())), seed);

    finishSweep();
    reading(99, 100, 2000);
    reading(0, 0, 0);
    const auto values = eventsOf(*mModel, devsim::EventKind::Value);
    QCOMPARE(values.size(), size_t(2));
    QCOMPARE(values.at(0).temp, 99);
    QCOMPARE(values.at(0).fan, 2000);
    QCOMPARE(values.at(0).load, 100);
    QCOMPARE(values.at(1).index, 1);
    QVERIFY(eventsOf(*mModel, devsim::EventKind::BadFrame).empty());
}

void TestDeviceSession::replyWithoutMarker()
{
    mModel->setSeed(0x42);
    makeWidget();
    QVERIFY(linked());

    mModel->setSeedMarker(false);
    invoke("onUsbConnect");
    QVERIFY(!linked());
    QCOMPARE(int(MainWidgetProbe::seedValue(widget())), 0);
    // The label keeps what it showed.
    QCOMPARE(linkState(), kLinkStateLinked);
    QCOMPARE(mModel->handleStats().live, 0);

    // The next reading tries again.
    finishSweep();
    mModel->setSeedMarker(true);
    reading(45, 12, 1500);
    QVERIFY(linked());
    QCOMPARE(int(MainWidgetProbe::seedValue(widget())), 0x42);
}

void TestDeviceSession::silentDevice()
{
    makeWidget();
    QVERIFY(linked());
    mModel->setSilent(true);
    invoke("onUsbConnect");
    QVERIFY(!linked());
    QCOMPARE(mModel->handleStats().live, 0);
    QCOMPARE(devsim::simCallLog().back(), std::string("close"));
}

void TestDeviceSession::removal()
{
    makeWidget();
    QVERIFY(linked());
    mModel->unplug();
    arrival(false);
    QVERIFY(!linked());
    QCOMPARE(linkState(), kLinkStateNotLinked);
    QCOMPARE(mModel->handleStats().live, 0);
}

void TestDeviceSession::lateReplyEndsSessionAndNextReadingRecovers()
{
    makeWidget();
    finishSweep();
    QVERIFY(linked());
    const int firstSeed = mModel->lastSeed();

    mModel->setDelayMs(2300);
    reading(45, 12, 1500);
    QVERIFY(!linked());
    QCOMPARE(linkState(), kLinkStateNotLinked);
    QCOMPARE(mModel->handleStats().live, 0);

    mModel->setDelayMs(0);
    mModel->setSeed(firstSeed ^ 0x5A);
    reading(46, 13, 1400);
    QVERIFY(linked());
    QCOMPARE(linkState(), kLinkStateLinked);
    QCOMPARE(int(MainWidgetProbe::seedValue(widget())), firstSeed ^ 0x5A);

    reading(47, 14, 1300);
    const auto values = eventsOf(*mModel, devsim::EventKind::Value);
    QCOMPARE(values.size(), size_t(2));
    QCOMPARE(values.at(0).index, 0);
    QCOMPARE(values.at(1).index, 1);
    QCOMPARE(values.at(1).temp, 47);
    QCOMPARE(values.at(1).expectedIndex, -1);
}

void TestDeviceSession::pulledOutWithoutNotice()
{
    makeWidget();
    finishSweep();
    QVERIFY(linked());
    mModel->unplug();
    devsim::clearSimCallLog();

    reading(45, 12, 1500);
    // The failed write closes the device, so the read fails without reaching the library.
    QCOMPARE(devsim::simCallLog(), (Log {"nonblocking 0", "write 64", "nonblocking 1", "close"}));
    QVERIFY(!linked());
    QCOMPARE(linkState(), kLinkStateNotLinked);

    reading(45, 12, 1500);
    QVERIFY(!linked());
    mModel->plug();
    reading(45, 12, 1500);
    QVERIFY(linked());
}

void TestDeviceSession::frameIndexRunsOnAcrossReconnects()
{
    makeWidget();
    finishSweep();
    for (int i = 0; i < 3; ++i) {
        reading(40 + i, 10, 1000);
    }
    mModel->unplug();
    arrival(false);
    mModel->plug();
    arrival(true);
    QVERIFY(linked());
    for (int i = 3; i < 5; ++i) {
        reading(40 + i, 10, 1000);
    }

    const auto values = eventsOf(*mModel, devsim::EventKind::Value);
    QCOMPARE(values.size(), size_t(5));
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(values.at(size_t(i)).index, i);
        QCOMPARE(values.at(size_t(i)).temp, 40 + i);
        QCOMPARE(values.at(size_t(i)).expectedIndex, -1);
    }
    QCOMPARE(eventsOf(*mModel, devsim::EventKind::Seed).size(), size_t(2));
}

void TestDeviceSession::repeatedArrivalsLeakNoHandle()
{
    makeWidget();
    QVERIFY(linked());
    for (int i = 0; i < 3; ++i) {
        arrival(true);
        QVERIFY(linked());
        QCOMPARE(mModel->handleStats().live, 1);
    }
    const devsim::HandleStats stats = mModel->handleStats();
    QCOMPARE(stats.opens, 4);
    QCOMPARE(stats.closes, 3);
    QCOMPARE(eventsOf(*mModel, devsim::EventKind::Seed).size(), size_t(4));
}

QTEST_MAIN(TestDeviceSession)
#include "test_devicesession.moc"
