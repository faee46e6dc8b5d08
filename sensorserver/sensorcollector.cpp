#include "sensorcollector.h"

#include "documentwriter.h"
#include "fanmap.h"
#include "hwmon.h"
#include "sensorlayout.h"
#include "systeminfo.h"

SensorCollector::SensorCollector(const QString& sysfsRoot, const QString& procRoot, const QString& fanMapPath)
    : mSysfsRoot(sysfsRoot)
    , mFanMapPath(fanMapPath)
    , mCpuModel(SystemInfo::cpuModel(procRoot))
    , mBoardName(SystemInfo::boardName(sysfsRoot))
    , mLoad(procRoot)
{
}

QByteArray SensorCollector::document()
{
    SensorReadings readings;
    readings.chips = readHwmonChips(mSysfsRoot);
    readings.zones = readThermalZones(mSysfsRoot);
    readings.load = mLoad.read();
    readings.cpuModel = mCpuModel;
    readings.boardName = mBoardName;
    // Read every time: a user who edits the names sees them at the next reading.
    readings.fanMap = FanMap::load(mFanMapPath);
    return writeSensorDocument(layoutSensors(readings));
}
