// SPDX-License-Identifier: GPL-3.0-or-later
// The feed itself: the sensor client's thread, the schedule, and what a reading becomes on its way to the display.
#include "displayfeed.h"

#include "hardwareinfo.h"
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

    // Both connections cross threads, so both are queued.
    connect(this, SIGNAL(signal_hwGetData()), mHardWareInfo, SLOT(slot_hwGetData()));
    connect(mHardWareInfo, &HardWareInfo::signal_hwSensorList, this, &DisplayFeed::slot_hwSensorList);
    connect(mHardWareInfo, &HardWareInfo::signal_hwReadData, this, &DisplayFeed::slot_hwReadData);
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
        mPacer = new QTimer();
        // A coarse timer may slip by 5 %, which is 100 ms a reading.
        mPacer->setTimerType(Qt::PreciseTimer);
        connect(mPacer, &QTimer::timeout, this, &DisplayFeed::signal_hwGetData);
    }
    mPacer->start(kReadingIntervalMs);
    emit signal_hwGetData();
}

void DisplayFeed::chooseFigures(const QString& temKey, const QString& fanKey)
{
    mTemChoice.choose(temKey);
    mFanChoice.choose(fanKey);
}

void DisplayFeed::onStop()
{
    if (mPacer) {
        mPacer->stop();
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
    const int cpuLoad = qBound(0, stHwInfoData.cpuload, kMaxLoad);
    emit signal_figures(temValue, fanValue, cpuLoad);

    if (!mTrafficReleased) {
        return;
    }
    if (mIsUsbConnect) {
        onUsbHidSendValue(temValue, fanValue, cpuLoad);
    } else {
        onUsbConnect();
    }
}
