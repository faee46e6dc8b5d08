#ifndef ORVANE_HWMON_H
#define ORVANE_HWMON_H

#include <QString>
#include <QVector>

// One tempN_input or fanN_input of a hwmon device. `valid` is false when it could not be read or reads what no
// real sensor does (−55 °C, 127 °C, 65535 RPM and the like).
struct HwmonInput
{
    int index = 0;
    QString label;
    bool valid = false;
    double value = 0.0; // degrees Celsius or revolutions per minute
};

struct HwmonChip
{
    int number = 0; // N of hwmonN
    QString name;   // the driver's name, e.g. "coretemp", "nct6798"
    QVector<HwmonInput> temps;
    QVector<HwmonInput> fans;
};

// Every hwmon device under `sysfsRoot`/class/hwmon, read afresh, in order of N. Devices that vanish while they are
// read simply have fewer readings.
QVector<HwmonChip> readHwmonChips(const QString& sysfsRoot);

// A thermal zone of `sysfsRoot`/class/thermal.
struct ThermalZone
{
    int number = 0;
    QString type;
    bool valid = false;
    double value = 0.0;
};
QVector<ThermalZone> readThermalZones(const QString& sysfsRoot);

// Readings that real sensors give; outside these, the chip reports a fault or an unused input.
bool isPlausibleTemperature(double celsius);
bool isPlausibleFanSpeed(double rpm);

#endif // ORVANE_HWMON_H
