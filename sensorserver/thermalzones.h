// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_THERMALZONES_H
#define ORVANE_THERMALZONES_H

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>

// A thermal zone of `sysfsRoot`/class/thermal.
struct ThermalZone
{
    int number = 0;
    QString type;
    bool valid = false;
    double value = 0.0;
};

// Reads the thermal zones in order of number, keeping each zone's temperature open between readings.
class ThermalZoneReader
{
public:
    explicit ThermalZoneReader(const QString& sysfsRoot);
    ~ThermalZoneReader();
    ThermalZoneReader(const ThermalZoneReader&) = delete;
    ThermalZoneReader& operator=(const ThermalZoneReader&) = delete;

    QVector<ThermalZone> read();

private:
    struct OpenZone
    {
        int number = 0;
        QString type;
        quint64 device = 0;
        quint64 inode = 0;
        int fd = -1;
    };

    QString mClassPath;
    QHash<QByteArray, OpenZone> mZones;
};

#endif // ORVANE_THERMALZONES_H
