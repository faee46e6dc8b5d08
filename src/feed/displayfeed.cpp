// SPDX-License-Identifier: GPL-3.0-or-later
// The feed itself: the sensor client's thread, the schedule, and what a reading becomes on its way to the display.
#include "displayfeed.h"

#include "hardwareinfo.h"
#include "usbhidapi.h"
#include "usbprotocol.h"

#include <QThread>
#include <QTimer>
#include <QtGlobal>
#include <memory>

namespace {
constexpr int kMaxTemperature = 99;
constexpr int kMaxFanSpeed = 2000;
constexpr int kMaxLoad = 100;
} // namespace

DisplayFeed::DisplayFeed(QObject* parent) : QObject(parent) { }

DisplayFeed::~DisplayFeed()
{
    delete mPacer;
    onStopHwInfoThread();
    delete mHardWareInfo;
    delete mUsbHidApi;
    delete mUsbProtocol;
}

void DisplayFeed::onStopHwInfoThread()
{
    // The worker may still be inside a request; its children must not go while it runs.
    if (mHardWareInfoThread) {
        mHardWareInfoThread->quit();
        mHardWareInfoThread->wait();
    }
}

void DisplayFeed::onInitHwInfo()
{
    mHardWareInfo = new HardWareInfo();
    mHardWareInfoThread = new QThread(this);
    mHardWareInfo->moveToThread(mHardWareInfoThread);
    mHardWareInfoThread->start();

    // The request crosses threads, queued.
    connect(this, SIGNAL(signal_hwGetData()), mHardWareInfo, SLOT(slot_hwGetData()));
    // A reading's sensors and figures come back together, in one queued call: two would often wake this thread
    // twice per reading.
    auto sensors = std::make_shared<ST_SENSOR_LIST>();
    connect(
        mHardWareInfo,
        &HardWareInfo::signal_hwSensorList,
        mHardWareInfo,
        [sensors](const ST_SENSOR_LIST& list) { *sensors = list; },
        Qt::DirectConnection);
    connect(
        mHardWareInfo,
        &HardWareInfo::signal_hwReadData,
        mHardWareInfo,
        [this, sensors](const ST_HWINFO_DATA& data) {
            QMetaObject::invokeMethod(
                this,
                [this, list = *sensors, data]() {
                    slot_hwSensorList(list);
                    slot_hwReadData(data);
                },
                Qt::QueuedConnection);
        },
        Qt::DirectConnection);
}

void DisplayFeed::onStartVoViredo()
{
    mHardWareInfo->onStartVoViredo();
}

void DisplayFeed::releaseTraffic()
{
    mTrafficReleased = true;
}

void DisplayFeed::startPacing()
{
    if (!mPacer) {
        // On the sensor client's thread, which it wakes for the request itself: this thread sleeps until the
        // reading is in.
        mPacer = new QTimer();
        // A coarse timer may slip by 5 %, which is 100 ms a reading.
        mPacer->setTimerType(Qt::PreciseTimer);
        mPacer->setInterval(kReadingIntervalMs);
        mPacer->moveToThread(mHardWareInfoThread);
        connect(mPacer, SIGNAL(timeout()), mHardWareInfo, SLOT(slot_hwGetData()));
        // Stopped by its own thread, which a timer must be, however that thread comes to an end.
        connect(mHardWareInfoThread, &QThread::finished, mPacer, &QTimer::stop, Qt::DirectConnection);
    }
    QMetaObject::invokeMethod(mPacer, QOverload<>::of(&QTimer::start), Qt::QueuedConnection);
    emit signal_hwGetData();
}

void DisplayFeed::chooseFigures(const QString& temKey, const QString& fanKey, const QString& loadKey)
{
    mTemChoice.choose(temKey);
    mFanChoice.choose(fanKey);
    mLoadChoice.choose(loadKey);
}

void DisplayFeed::onStop()
{
    // Readings still on their way find the display closed for good.
    mStopped = true;
    if (mPacer) {
        QMetaObject::invokeMethod(mPacer, &QTimer::stop, Qt::QueuedConnection);
    }
    if (mHardWareInfo) {
        mHardWareInfo->onStopVoViredo();
    }
    if (mUsbHidApi) {
        mUsbHidApi->closeHid();
    }
    mIsUsbConnect = false;
}

void DisplayFeed::onWriteHwInfoData()
{
    mHardWareInfo->onWriteHwInfoData();
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

    if (!mTrafficReleased || mStopped) {
        return;
    }
    if (mIsUsbConnect) {
        onUsbHidSendValue(temValue, fanValue, load);
    } else {
        onUsbConnect();
    }
}
