// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DRIVERS_H
#define ORVANE_DRIVERS_H

#include <QString>

// What a hwmon driver's chip is, by the driver's name: the one table of drivers the server knows.
namespace Drivers {
enum class Kind {
    IntelCpu, // coretemp
    AmdCpu,   // k10temp, zenpower
    // A graphics card: its sensors are read only while the card is awake.
    Gpu,
    SuperIo, // the board's own chip: most of its fans
    Storage,
    Other,
};

Kind kindOf(const QString& chip);
inline bool isCpu(Kind kind)
{
    return kind == Kind::IntelCpu || kind == Kind::AmdCpu;
}
} // namespace Drivers

#endif // ORVANE_DRIVERS_H
