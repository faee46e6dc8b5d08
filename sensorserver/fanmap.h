// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_FANMAP_H
#define ORVANE_FANMAP_H

#include <QHash>
#include <QString>

// The user's names for fans, from an INI file in the style of lm-sensors' labels:
//
//     # the CPU cooler is on the second header of the Super-I/O chip
//     [nct6798]
//     fan2 = CPU Fan
//     fan1 = Pump Fan
//
// A section is a hwmon device's name (its "name" file, as VOViredo --dump shows in each fan's Identifier); a key is
// fanN of that device. Lines starting with '#' or ';' are comments. A missing or unreadable file maps nothing.
class FanMap
{
public:
    static FanMap load(const QString& path);
    // The default place: $XDG_CONFIG_HOME/orvane/sensors.ini (~/.config/orvane/sensors.ini).
    static QString defaultPath();

    // The user's name for fan `index` of device `chip`, or empty text.
    QString name(const QString& chip, int index) const;

private:
    QHash<QString, QString> mNames; // "chip/fanN" -> name
};

#endif // ORVANE_FANMAP_H
