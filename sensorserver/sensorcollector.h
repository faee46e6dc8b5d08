// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SENSORCOLLECTOR_H
#define ORVANE_SENSORCOLLECTOR_H

#include "cpuload.h"
#include "fanmap.h"
#include "hwmon.h"
#include "nvidiagpus.h"
#include "thermalzones.h"

#include <QByteArray>
#include <QString>

// Reads the machine afresh for every document; only the names of the CPU and the board, which cannot change while
// it runs, are read once.
class SensorCollector
{
public:
    SensorCollector(const QString& sysfsRoot, const QString& procRoot, const QString& fanMapPath);

    QByteArray document();

private:
    const FanMap& fanMap();

    QString mCpuModel;
    QString mBoardName;
    HwmonReader mHwmon;
    NvidiaReader mNvidia;
    ThermalZoneReader mZones;
    CpuLoad mLoad;
    QString mFanMapPath;
    FanMap mFanMap;
    QByteArray mFanMapStamp;
};

#endif // ORVANE_SENSORCOLLECTOR_H
