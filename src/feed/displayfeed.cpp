// SPDX-License-Identifier: GPL-3.0-or-later
// The feed itself: its start, the sensor client's thread, the schedule, and what a reading becomes on its way to the
// display.
#include "displayfeed.h"

#include "hardwareinfo.h"
#include "logcategories.h"
#include "usbhidapi.h"
#include "usbprotocol.h"

#include <QThread>
#include <QTimer>
#include <QtGlobal>

namespace {
constexpr int kMaxTemperature = 99;
constexpr int kMaxFanSpeed = 2000;
constexpr int kMaxLoad = 100;
} // namespace

DisplayFeed::DisplayFeed(QObject* parent) : DisplayFeed(Options(), parent) { }

DisplayFeed::DisplayFeed(const Options& options, QObject* parent) : QObject(parent), mOptions(options) { }

DisplayFeed::~DisplayFeed()
{
    onStopHwInfoThread();
    delete mUsbHidApi;
    delete mUsbProtocol;
}

bool DisplayFeed::isStarted(const char* call) const
{
    if (!mStarted) {
        qCWarning(lcDevice, "DisplayFeed::%s before start() is ignored", call);
    }
    return mStarted;
}

bool DisplayFeed::start()
{
    if (mStarted) {
        qCWarning(lcDevice, "DisplayFeed::start() a second time is ignored");
        return false;
    }
    mStarted = true;
    mTrafficReleased = !mOptions.trafficWaitsForSweep;
    onUsbHidInit();
    onUsbConnect();
    onInitHwInfo();
    if (mOptions.serverStartDelayMs == 0) {
        onStartVoViredo();
    } else if (mOptions.serverStartDelayMs > 0) {
        QTimer::singleShot(mOptions.serverStartDelayMs, this, [this]() {
            if (!mStopped) {
                onStartVoViredo();
            }
        });
    }
    if (mOptions.pacesItself) {
        startPacing();
    }
    return true;
}

void DisplayFeed::onStopHwInfoThread()
{
    // The worker may still be inside a request; its objects go with it, on it, once it is done.
    if (mHardWareInfoThread) {
        mHardWareInfoThread->quit();
        mHardWareInfoThread->wait();
        mHardWareInfo = nullptr;
        mPacer = nullptr;
    }
}

void DisplayFeed::onInitHwInfo()
{
    mHardWareInfo = new HardWareInfo();
    if (mOptions.clientThread) {
        mHardWareInfoThread = new QThread(this);
        mHardWareInfo->moveToThread(mHardWareInfoThread);
        // A timer or a socket must die on its own thread: deleted there as the thread finishes, before wait()
        // returns.
        connect(mHardWareInfoThread, &QThread::finished, mHardWareInfo, &QObject::deleteLater);
        mHardWareInfoThread->start();
    } else {
        mHardWareInfo->setParent(this);
    }

    // Queued also on this thread: a reading asked for runs after the caller, not inside it.
    connect(this, SIGNAL(signal_hwGetData()), mHardWareInfo, SLOT(slot_hwGetData()), Qt::QueuedConnection);
    // One crossing per reading: two would often wake this thread twice.
    connect(mHardWareInfo, &HardWareInfo::signal_hwReading, this, &DisplayFeed::slot_hwReading);
}

void DisplayFeed::onStartVoViredo()
{
    mHardWareInfo->onStartVoViredo();
}

void DisplayFeed::sweepFinished()
{
    mTrafficReleased = true;
}

void DisplayFeed::startPacing()
{
    // On the sensor client's thread, which it wakes for the request itself: a feed on another thread sleeps until
    // the reading is in.
    mPacer = new QTimer();
    // A coarse timer may slip by 5 %, which is 100 ms a reading.
    mPacer->setTimerType(Qt::PreciseTimer);
    mPacer->setInterval(kReadingIntervalMs);
    connect(mPacer, SIGNAL(timeout()), mHardWareInfo, SLOT(slot_hwGetData()));
    if (mHardWareInfoThread) {
        mPacer->moveToThread(mHardWareInfoThread);
        connect(mHardWareInfoThread, &QThread::finished, mPacer, &QObject::deleteLater);
    } else {
        mPacer->setParent(this);
    }
    QMetaObject::invokeMethod(mPacer, QOverload<>::of(&QTimer::start), Qt::QueuedConnection);
    if (mOptions.firstReadingAtOnce) {
        emit signal_hwGetData();
    }
}

void DisplayFeed::requestReading()
{
    if (isStarted("requestReading")) {
        emit signal_hwGetData();
    }
}

void DisplayFeed::chooseFigures(const QString& temKey, const QString& fanKey, const QString& loadKey)
{
    mTemChoice.choose(temKey);
    mFanChoice.choose(fanKey);
    mLoadChoice.choose(loadKey);
}

void DisplayFeed::onStop()
{
    if (!isStarted("onStop")) {
        return;
    }
    // Readings still on their way find the display closed for good.
    mStopped = true;
    if (mPacer) {
        QMetaObject::invokeMethod(mPacer, &QTimer::stop, Qt::QueuedConnection);
    }
    mHardWareInfo->onStopVoViredo();
    mUsbHidApi->closeHid();
    mIsUsbConnect = false;
}

void DisplayFeed::onWriteHwInfoData()
{
    if (isStarted("onWriteHwInfoData")) {
        mHardWareInfo->onWriteHwInfoData();
    }
}

void DisplayFeed::slot_hwReading(ST_HW_READING reading)
{
    slot_hwSensorList(reading.sensors);
    slot_hwReadData(reading.figures);
}

void DisplayFeed::slot_hwSensorList(ST_SENSOR_LIST list)
{
    mSensors = list;
    emit signal_sensorList(list);
}

void DisplayFeed::slot_hwReadData(ST_HWINFO_DATA stHwInfoData)
{
    const int temValue = qBound(0, mTemChoice.figure(stHwInfoData.cputmp, mSensors.temperatures), kMaxTemperature);
    const int fanValue = qBound(0, mFanChoice.figure(stHwInfoData.cpufan, mSensors.fans), kMaxFanSpeed);
    const int load = qBound(0, mLoadChoice.figure(stHwInfoData.cpuload, mSensors.loads), kMaxLoad);
    emit signal_figures(temValue, fanValue, load);

    if (!mTrafficReleased || mStopped || !mStarted) {
        return;
    }
    if (mIsUsbConnect) {
        onUsbHidSendValue(temValue, fanValue, load);
    } else {
        onUsbConnect();
    }
}
