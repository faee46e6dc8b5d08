// SPDX-License-Identifier: GPL-3.0-or-later
#include "sensorcollector.h"

#include "documentwriter.h"
#include "sensorlayout.h"
#include "systeminfo.h"

#include <QFile>
#include <sys/stat.h>

SensorCollector::SensorCollector(const QString& sysfsRoot, const QString& procRoot, const QString& fanMapPath)
    : mCpuModel(SystemInfo::cpuModel(procRoot))
    , mBoardName(SystemInfo::boardName(sysfsRoot))
    , mHwmon(sysfsRoot)
    , mNvidia(sysfsRoot)
    , mZones(sysfsRoot)
    , mLoad(procRoot)
    , mFanMapPath(fanMapPath)
{
}

QByteArray SensorCollector::document()
{
    SensorReadings readings;
    readings.chips = mHwmon.read();
    readings.zones = mZones.read();
    readings.nvidia = mNvidia.read();
    readings.load = mLoad.read();
    readings.cpuModel = mCpuModel;
    readings.boardName = mBoardName;
    readings.fanMap = fanMap();
    return writeSensorDocument(layoutSensors(readings));
}

const FanMap& SensorCollector::fanMap()
{
    // Read again whenever the file changed, so that a user who edits the names sees them at the next reading.
    struct stat info
    {
    };
    QByteArray stamp;
    if (::stat(QFile::encodeName(mFanMapPath).constData(), &info) == 0) {
        stamp = QByteArray::number(qulonglong(info.st_ino)) + ':' + QByteArray::number(qlonglong(info.st_size)) + ':' +
                QByteArray::number(qlonglong(info.st_mtim.tv_sec)) + '.' +
                QByteArray::number(qlonglong(info.st_mtim.tv_nsec));
    }
    if (stamp != mFanMapStamp) {
        mFanMapStamp = stamp;
        mFanMap = stamp.isEmpty() ? FanMap() : FanMap::load(mFanMapPath);
    }
    return mFanMap;
}
