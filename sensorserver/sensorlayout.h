// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SENSORLAYOUT_H
#define ORVANE_SENSORLAYOUT_H

#include "cpuload.h"
#include "fanmap.h"
#include "hwmon.h"
#include "nvidiagpus.h"
#include "thermalzones.h"

#include <QString>
#include <QVector>

struct SensorEntry
{
    QString name;
    QString type; // "Temperature", "Fan", "Load"
    double value = 0.0;
    int decimals = 1;
    QString identifier; // where the reading comes from, e.g. "nct6798/fan2"
};

struct HardwareEntry
{
    QString name;
    QString type;
    QVector<SensorEntry> sensors;
    // Only the fans' component has one; the client reads its fan from there.
    bool hasSubHardware = false;
    QString subName;
    QString subType;
    QVector<SensorEntry> subSensors;
};

struct SensorReadings
{
    QVector<HwmonChip> chips;
    QVector<ThermalZone> zones;
    QVector<NvidiaGpu> nvidia;
    CpuLoad::Result load;
    QString cpuModel;
    QString boardName;
    FanMap fanMap;
};

// Arranges the readings so that the client's fixed rules pick the figures a user expects: first the mainboard
// with every fan in its one sub-component, then the CPU with its package temperature and "CPU Total" load, then
// everything else (disks, graphics cards, the Super-I/O's own temperatures, thermal zones), which no rule reads.
QVector<HardwareEntry> layoutSensors(const SensorReadings& readings);

// The name a fan goes by: a driver's label or the user's name, made to read "CPU Fan", "Pump Fan" or "… Fan", or
// empty text when it cannot be used (it would pass for a temperature).
QString fanSensorName(const QString& label);

#endif // ORVANE_SENSORLAYOUT_H
