// SPDX-License-Identifier: GPL-3.0-or-later
#include "drivers.h"

namespace Drivers {
Kind kindOf(const QString& chip)
{
    struct Driver
    {
        const char* name;
        bool prefix; // a family of drivers: nct6775, nct6798, ...
        Kind kind;
    };
    static const Driver kDrivers[] = {
        {"coretemp", false, Kind::IntelCpu},
        {"k10temp", false, Kind::AmdCpu},
        {"zenpower", false, Kind::AmdCpu},
        {"amdgpu", false, Kind::Gpu},
        {"radeon", false, Kind::Gpu},
        {"nouveau", false, Kind::Gpu},
        {"i915", false, Kind::Gpu},
        {"xe", false, Kind::Gpu},
        {"nct", true, Kind::SuperIo},
        {"it8", true, Kind::SuperIo},
        {"f71", true, Kind::SuperIo},
        {"w83", true, Kind::SuperIo},
        {"nvme", false, Kind::Storage},
        {"drivetemp", false, Kind::Storage},
    };
    for (const Driver& driver : kDrivers) {
        if (driver.prefix ? chip.startsWith(QLatin1String(driver.name)) : chip == QLatin1String(driver.name)) {
            return driver.kind;
        }
    }
    return Kind::Other;
}
} // namespace Drivers
