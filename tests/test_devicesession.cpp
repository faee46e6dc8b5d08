// SPDX-License-Identifier: GPL-3.0-or-later
// The display feed's session against the simulated device, without a window: handshake, value frames, arrival,
// removal, silence, late replies, the frame index and the hold on the display, with the handles the library saw.
#include "devicemodel.h"
#include "displayfeedprobe.h"
#include "hardwareinfo.h"
#include "hidapi_sim.h"

#include <QtTest>
#include <memory>

namespace {
using Log = std::vector<std::string>;
using State = DisplayFeed::LinkState;
using States = std::vector<State>;

ST_HWINFO_DATA sensorReading(int temperature, int load, int fan)
{
    ST_HWINFO_DATA data;
    data.cputmp = temperature;
    data.cpuload = load;
    data.cpufan = fan;
    return data;
}

QStringList gWarnings;
void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtWarningMsg) {
        gWarnings << message;
    }
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
    void secondFeedLeavesHeldDisplayAlone();
    void holdKeptThroughReconnectsAndDroppedOnRemoval();
    void startsOnceAndItsWorkerObjectsDieOnTheirThread();

private:
    DisplayFeed& feed() { return *mFeed; }
    void start();
    std::unique_ptr<DisplayFeed> makeFeed(States* told);
    void finishSweep();
    void reading(int temperature, int load, int fan);
    void invoke(const char* slot);
    void arrival(bool present);
    State told() const { return mTold.empty() ? State::Unknown : mTold.back(); }
    bool linked() { return DisplayFeedProbe::isUsbConnect(feed()); }

    devsim::DeviceModel* mModel = nullptr;
    std::unique_ptr<DisplayFeed> mFeed;
    States mTold;
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
    if (mFeed) {
        // The exit path closes the device; the session's own disconnect does the same here.
        mFeed->onUsbDisConnect();
        mFeed.reset();
    }
    QCOMPARE(mModel->handleStats().live, 0);
    QCOMPARE(mModel->handleStats().unknownCloses, 0);
    devsim::installModel(nullptr);
    delete mModel;
    mModel = nullptr;
}

// A feed started as the window starts it, but taking no reading and starting no server by itself; what it tells of
// the link is collected in `told`.
std::unique_ptr<DisplayFeed> TestDeviceSession::makeFeed(States* told)
{
    auto feed = std::make_unique<DisplayFeed>(DisplayFeedProbe::byHand());
    QObject::connect(feed.get(), &DisplayFeed::signal_linkState, [told](State state) { told->push_back(state); });
    feed->start();
    return feed;
}

void TestDeviceSession::start()
{
    mTold.clear();
    mFeed = makeFeed(&mTold);
}

void TestDeviceSession::finishSweep()
{
    mFeed->sweepFinished();
}

void TestDeviceSession::reading(int temperature, int load, int fan)
{
    mFeed->slot_hwReadData(sensorReading(temperature, load, fan));
}

void TestDeviceSession::invoke(const char* slot)
{
    if (qstrcmp(slot, "onUsbConnect") == 0) {
        mFeed->onUsbConnect();
    } else if (qstrcmp(slot, "onUsbDisConnect") == 0) {
        mFeed->onUsbDisConnect();
    } else {
        QFAIL(slot);
    }
}

void TestDeviceSession::arrival(bool present)
{
    mFeed->slot_usbHidMonitor(present);
}

void TestDeviceSession::startWithoutDeviceThenPlugIn()
{
    mModel->unplug();
    start();
    QCOMPARE(told(), State::Absent);
    QVERIFY(!linked());
    // The first handshake ends at the open step.
    QCOMPARE(devsim::simCallLog(), (Log {"open", "open-failed"}));

    finishSweep();
    reading(45, 12, 1500);
    QCOMPARE(mModel->handleStats().failedOpens, 2);
    QVERIFY(!linked());
    QCOMPARE(mTold, States {State::Absent});

    mModel->plug();
    arrival(true);
    QVERIFY(linked());
    QCOMPARE(mTold, (States {State::Absent, State::Arrived, State::Linked}));
    QCOMPARE(int(DisplayFeedProbe::seedValue(feed())), mModel->lastSeed());

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
    start();
    // The notice is told at once, the failed handshake after it (the window keeps the notice's picture).
    arrival(true);
    QCOMPARE(mTold, (States {State::Absent, State::Arrived, State::Absent}));
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
    start();
    QVERIFY(linked());
    QCOMPARE(told(), State::Linked);
    QCOMPARE(int(DisplayFeedProbe::seedValue(feed())), seed);

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
    start();
    QVERIFY(linked());

    mModel->setSeedMarker(false);
    invoke("onUsbConnect");
    QVERIFY(!linked());
    QCOMPARE(int(DisplayFeedProbe::seedValue(feed())), 0);
    QCOMPARE(told(), State::Silent);
    QCOMPARE(mModel->handleStats().live, 0);

    // The next reading tries again.
    finishSweep();
    mModel->setSeedMarker(true);
    reading(45, 12, 1500);
    QVERIFY(linked());
    QCOMPARE(int(DisplayFeedProbe::seedValue(feed())), 0x42);
}

void TestDeviceSession::silentDevice()
{
    start();
    QVERIFY(linked());
    mModel->setSilent(true);
    invoke("onUsbConnect");
    QVERIFY(!linked());
    QCOMPARE(mModel->handleStats().live, 0);
    QCOMPARE(devsim::simCallLog().back(), std::string("close"));
}

void TestDeviceSession::removal()
{
    start();
    QVERIFY(linked());
    mModel->unplug();
    arrival(false);
    QVERIFY(!linked());
    QCOMPARE(told(), State::Unplugged);
    QCOMPARE(mModel->handleStats().live, 0);
}

void TestDeviceSession::lateReplyEndsSessionAndNextReadingRecovers()
{
    start();
    finishSweep();
    QVERIFY(linked());
    const int firstSeed = mModel->lastSeed();

    mModel->setDelayMs(2300);
    reading(45, 12, 1500);
    QVERIFY(!linked());
    QCOMPARE(told(), State::Lost);
    QCOMPARE(mModel->handleStats().live, 0);

    mModel->setDelayMs(0);
    mModel->setSeed(firstSeed ^ 0x5A);
    reading(46, 13, 1400);
    QVERIFY(linked());
    QCOMPARE(told(), State::Linked);
    QCOMPARE(int(DisplayFeedProbe::seedValue(feed())), firstSeed ^ 0x5A);

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
    start();
    finishSweep();
    QVERIFY(linked());
    mModel->unplug();
    devsim::clearSimCallLog();

    reading(45, 12, 1500);
    // The failed write closes the device, so the read fails without reaching the library.
    QCOMPARE(devsim::simCallLog(), (Log {"nonblocking 0", "write 64", "nonblocking 1", "close"}));
    QVERIFY(!linked());
    QCOMPARE(told(), State::Lost);

    reading(45, 12, 1500);
    QVERIFY(!linked());
    mModel->plug();
    reading(45, 12, 1500);
    QVERIFY(linked());
}

void TestDeviceSession::frameIndexRunsOnAcrossReconnects()
{
    start();
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
    start();
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

void TestDeviceSession::secondFeedLeavesHeldDisplayAlone()
{
    start();
    finishSweep();
    QVERIFY(linked());
    devsim::clearSimCallLog();

    States otherTold;
    std::unique_ptr<DisplayFeed> other = makeFeed(&otherTold);
    QCOMPARE(mTold, States {State::Linked});
    other->sweepFinished();
    // Readings and an arrival notice: it never opens the display and never tells it as linked.
    other->slot_hwReadData(sensorReading(50, 20, 900));
    other->slot_usbHidMonitor(true);
    QVERIFY(other->isHeldElsewhere());
    QVERIFY(!DisplayFeedProbe::isUsbConnect(*other));
    QCOMPARE(otherTold, States {State::HeldElsewhere});
    QCOMPARE(devsim::simCallLog(), Log {});
    reading(45, 12, 1500);
    QCOMPARE(eventsOf(*mModel, devsim::EventKind::Seed).size(), size_t(1));

    // The holder gone: the other links the display at its next reading.
    mFeed->onUsbDisConnect();
    mFeed.reset();
    other->slot_hwReadData(sensorReading(46, 13, 1400));
    QVERIFY(DisplayFeedProbe::isUsbConnect(*other));
    QCOMPARE(otherTold, (States {State::HeldElsewhere, State::Linked}));
    other->slot_hwReadData(sensorReading(47, 14, 1300));
    const auto values = eventsOf(*mModel, devsim::EventKind::Value);
    QCOMPARE(values.size(), size_t(2));
    QCOMPARE(values.back().temp, 47);
    other->onUsbDisConnect();
}

void TestDeviceSession::holdKeptThroughReconnectsAndDroppedOnRemoval()
{
    start();
    finishSweep();
    QVERIFY(DisplayFeedProbe::holdsDisplay(feed()));
    // Closed, as at a wake-up: still held, so that nobody else links it in between.
    invoke("onUsbDisConnect");
    QVERIFY(DisplayFeedProbe::holdsDisplay(feed()));
    States otherTold;
    std::unique_ptr<DisplayFeed> other = makeFeed(&otherTold);
    QVERIFY(other->isHeldElsewhere());
    reading(45, 12, 1500);
    QVERIFY(linked());

    // Pulled out: the hold goes with the display.
    mModel->unplug();
    arrival(false);
    QVERIFY(!DisplayFeedProbe::holdsDisplay(feed()));
    mModel->plug();
    other->sweepFinished();
    other->slot_hwReadData(sensorReading(46, 13, 1400));
    QVERIFY(DisplayFeedProbe::isUsbConnect(*other));
    other->onUsbDisConnect();
}

void TestDeviceSession::startsOnceAndItsWorkerObjectsDieOnTheirThread()
{
    gWarnings.clear();
    const QtMessageHandler before = qInstallMessageHandler(keepWarnings);
    {
        DisplayFeed idle;
        idle.onUsbConnect();
        idle.onStop();
    }
    QCOMPARE(gWarnings,
             (QStringList {QStringLiteral("DisplayFeed::onUsbConnect before start() is ignored"),
                           QStringLiteral("DisplayFeed::onStop before start() is ignored")}));

    // Paced as the service paces it, but with the window's worker thread; its readings find no sensor server, which
    // does not matter here.
    gWarnings.clear();
    DisplayFeed::Options options;
    options.serverStartDelayMs = -1;
    options.clientThread = true;
    mFeed = std::make_unique<DisplayFeed>(options);
    QVERIFY(mFeed->start());
    QVERIFY(!mFeed->start());
    QCOMPARE(gWarnings, QStringList {QStringLiteral("DisplayFeed::start() a second time is ignored")});
    QTimer* pacer = DisplayFeedProbe::pacer(feed());
    QTRY_VERIFY(pacer->isActive());

    const auto worker = quintptr(DisplayFeedProbe::hardWareInfoThread(feed()));
    quintptr pacerDiedOn = 0;
    quintptr clientDiedOn = 0;
    connect(pacer, &QObject::destroyed, [&]() { pacerDiedOn = quintptr(QThread::currentThread()); });
    connect(DisplayFeedProbe::hardWareInfo(feed()), &QObject::destroyed, [&]() {
        clientDiedOn = quintptr(QThread::currentThread());
    });
    mFeed->onUsbDisConnect();
    mFeed.reset();
    qInstallMessageHandler(before);
    QCOMPARE(pacerDiedOn, worker);
    QCOMPARE(clientDiedOn, worker);
    // Qt says so when a timer or a socket is stopped from a thread not its own.
    QVERIFY2(gWarnings.filter(QStringLiteral("another thread")).isEmpty(), qPrintable(gWarnings.join('\n')));
}

QTEST_MAIN(TestDeviceSession)
#include "test_devicesession.moc"
