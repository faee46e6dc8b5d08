// SPDX-License-Identifier: GPL-3.0-or-later
#include "sensorlayout.h"

#include "drivers.h"
#include "systeminfo.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace {
const QString kTemperature = QStringLiteral("Temperature");
const QString kFan = QStringLiteral("Fan");
const QString kLoad = QStringLiteral("Load");

// Power supplies come after the board's own fans, so that "the first fan that spins" is a case or CPU fan.
bool isPowerSupplyChip(const QString& chip)
{
    return chip.contains(QLatin1String("psu"), Qt::CaseInsensitive);
}

QString componentType(Drivers::Kind kind)
{
    switch (kind) {
    case Drivers::Kind::Gpu:
        return QStringLiteral("Gpu");
    case Drivers::Kind::Storage:
        return QStringLiteral("Storage");
    case Drivers::Kind::SuperIo:
        return QStringLiteral("SuperIO");
    default:
        return QStringLiteral("Sensors");
    }
}

// A graphics card's fans: "GPU Fan", or "GPU Fan #N" where it has several.
QString gpuFanName(int index, int count)
{
    return QStringLiteral("GPU Fan") + (count > 1 ? QStringLiteral(" #") + QString::number(index) : QString());
}

SensorEntry sensor(const QString& name, const QString& type, double value, const QString& identifier)
{
    SensorEntry entry;
    entry.name = name;
    entry.type = type;
    entry.value = value;
    entry.decimals = type == kFan ? 0 : 1;
    entry.identifier = identifier;
    return entry;
}

QString inputId(const HwmonChip& chip, const char* kind, int index)
{
    return chip.name + QLatin1Char('/') + QLatin1String(kind) + QString::number(index);
}

// The fans of every chip but the CPU's and the graphics cards', in one list.
QVector<SensorEntry> fanSensors(const SensorReadings& readings)
{
    QVector<const HwmonChip*> chips;
    for (const HwmonChip& chip : readings.chips) {
        if (Drivers::kindOf(chip.name) != Drivers::Kind::Gpu && !chip.fans.isEmpty()) {
            chips.append(&chip);
        }
    }
    // By name rather than by hwmon number, which changes from boot to boot.
    std::stable_sort(chips.begin(), chips.end(), [](const HwmonChip* a, const HwmonChip* b) {
        const bool aPsu = isPowerSupplyChip(a->name);
        const bool bPsu = isPowerSupplyChip(b->name);
        if (aPsu != bPsu) {
            return bPsu;
        }
        return a->name != b->name ? a->name < b->name : a->number < b->number;
    });

    QVector<SensorEntry> fans;
    for (const HwmonChip* chip : qAsConst(chips)) {
        for (const HwmonInput& fan : chip->fans) {
            if (!fan.valid) {
                continue;
            }
            // The user's word first, as lm-sensors does: they know where each cable goes.
            QString name = fanSensorName(readings.fanMap.name(chip->name, fan.index));
            if (name.isEmpty()) {
                name = fanSensorName(fan.label);
            }
            if (name.isEmpty()) {
                name = QStringLiteral("Fan #") + QString::number(fan.index);
            }
            fans.append(sensor(name, kFan, fan.value, inputId(*chip, "fan", fan.index)));
        }
    }
    return fans;
}

HardwareEntry cpuComponent(const SensorReadings& readings)
{
    HardwareEntry cpu;
    cpu.name = readings.cpuModel;
    cpu.type = QStringLiteral("Cpu");

    bool havePackage = false;
    double package = 0.0;
    QString packageId;
    QVector<SensorEntry> cores;
    bool haveAmd = false;
    SensorEntry amdCore;
    QVector<SensorEntry> ccds;

    int coreNumber = 0;
    for (const HwmonChip& chip : readings.chips) {
        const Drivers::Kind kind = Drivers::kindOf(chip.name);
        if (kind == Drivers::Kind::IntelCpu) {
            QVector<QPair<int, const HwmonInput*>> coreInputs;
            for (const HwmonInput& input : chip.temps) {
                if (input.label.startsWith(QLatin1String("Package id"))) {
                    if (input.valid && (!havePackage || input.value > package)) {
                        // Several sockets: the hottest one is what a cooler display should show.
                        havePackage = true;
                        package = input.value;
                        packageId = inputId(chip, "temp", input.index);
                    }
                } else if (input.label.startsWith(QLatin1String("Core "))) {
                    coreInputs.append(qMakePair(input.label.midRef(5).toInt(), &input));
                }
            }
            // Core ids have gaps (and hybrid CPUs jump); number them as a user counts, from 1.
            std::stable_sort(
                coreInputs.begin(), coreInputs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
            for (const auto& core : qAsConst(coreInputs)) {
                ++coreNumber;
                if (core.second->valid) {
                    cores.append(sensor(QStringLiteral("CPU Core #") + QString::number(coreNumber),
                                        kTemperature,
                                        core.second->value,
                                        inputId(chip, "temp", core.second->index)));
                }
            }
        } else if (kind == Drivers::Kind::AmdCpu) {
            const HwmonInput* tctl = nullptr;
            const HwmonInput* tdie = nullptr;
            for (const HwmonInput& input : chip.temps) {
                // Without labels (CPUs before Zen) the first input is the control temperature.
                const QString label = input.label.isEmpty() && input.index == 1 ? QStringLiteral("Tctl") : input.label;
                if (label == QLatin1String("Tctl")) {
                    tctl = &input;
                } else if (label == QLatin1String("Tdie")) {
                    tdie = &input;
                } else if (label.startsWith(QLatin1String("Tccd")) && input.valid) {
                    ccds.append(sensor(QStringLiteral("CCD") + label.mid(4) + QStringLiteral(" (Tdie)"),
                                       kTemperature,
                                       input.value,
                                       inputId(chip, "temp", input.index)));
                }
            }
            // Tdie is the die itself where the chip reports both; on older Ryzens Tctl carries an offset.
            const HwmonInput* core = tdie && tdie->valid ? tdie : tctl;
            if (!haveAmd && core && core->valid) {
                haveAmd = true;
                amdCore = sensor(
                    QStringLiteral("Core (Tctl/Tdie)"), kTemperature, core->value, inputId(chip, "temp", core->index));
            }
        }
    }

    if (!havePackage && !haveAmd) {
        // Without a CPU driver (or with its package reading failing) the package's thermal zone still tells.
        for (const ThermalZone& zone : readings.zones) {
            if (zone.type == QLatin1String("x86_pkg_temp") && zone.valid) {
                havePackage = true;
                package = zone.value;
                packageId = QStringLiteral("thermal_zone") + QString::number(zone.number);
                break;
            }
        }
    }

    if (havePackage) {
        cpu.sensors.append(sensor(QStringLiteral("CPU Package"), kTemperature, package, packageId));
    }
    if (haveAmd) {
        cpu.sensors.append(amdCore);
    }
    cpu.sensors += cores;
    cpu.sensors += ccds;

    if (readings.load.valid) {
        cpu.sensors.append(sensor(QStringLiteral("CPU Total"), kLoad, readings.load.total, QStringLiteral("stat/cpu")));
        for (const auto& thread : readings.load.perCpu) {
            cpu.sensors.append(sensor(QStringLiteral("CPU Thread #") + QString::number(thread.first + 1),
                                      kLoad,
                                      thread.second,
                                      QStringLiteral("stat/cpu") + QString::number(thread.first)));
        }
    }
    return cpu;
}

// Disks, graphics, the Super-I/O's own temperatures and the like: shown by --dump, read by no rule.
QVector<HardwareEntry> otherComponents(const SensorReadings& readings)
{
    QVector<HardwareEntry> others;
    QHash<QString, int> seen;
    for (const HwmonChip& chip : readings.chips) {
        const Drivers::Kind kind = Drivers::kindOf(chip.name);
        if (Drivers::isCpu(kind)) {
            continue;
        }
        const bool gpu = kind == Drivers::Kind::Gpu;
        HardwareEntry entry;
        const int count = ++seen[chip.name];
        entry.name =
            SystemInfo::cleanText(chip.name) + (count > 1 ? QStringLiteral(" #") + QString::number(count) : QString());
        entry.type = componentType(kind);
        for (const HwmonInput& temp : chip.temps) {
            if (!temp.valid) {
                continue;
            }
            QString name = SystemInfo::cleanText(temp.label);
            if (name.isEmpty()) {
                name = QStringLiteral("Temperature #") + QString::number(temp.index);
            }
            entry.sensors.append(sensor(name, kTemperature, temp.value, inputId(chip, "temp", temp.index)));
        }
        if (gpu) {
            // A graphics card's fan cools the card, not the CPU: it stays with the card, away from the fan rules.
            for (const HwmonInput& fan : chip.fans) {
                if (fan.valid) {
                    entry.sensors.append(sensor(
                        gpuFanName(fan.index, chip.fans.size()), kFan, fan.value, inputId(chip, "fan", fan.index)));
                }
            }
            if (chip.loadValid) {
                entry.sensors.append(sensor(
                    QStringLiteral("GPU Core"), kLoad, chip.load, chip.name + QStringLiteral("/gpu_busy_percent")));
            }
        }
        if (!entry.sensors.isEmpty()) {
            others.append(entry);
        }
    }

    QHash<QString, int> seenGpus;
    for (const NvidiaGpu& gpu : readings.nvidia) {
        HardwareEntry entry;
        const int count = ++seenGpus[gpu.name];
        entry.name =
            SystemInfo::cleanText(gpu.name) + (count > 1 ? QStringLiteral(" #") + QString::number(count) : QString());
        entry.type = QStringLiteral("Gpu");
        // Identified by the card's place on the bus, which stays from boot to boot.
        const QString id = QStringLiteral("nvml/") + gpu.address + QLatin1Char('/');
        if (gpu.temperatureValid) {
            entry.sensors.append(
                sensor(QStringLiteral("GPU Core"), kTemperature, gpu.temperature, id + QStringLiteral("temperature")));
        }
        for (const NvidiaGpu::Fan& fan : gpu.fans) {
            entry.sensors.append(sensor(gpuFanName(fan.index, gpu.fans.size()),
                                        kFan,
                                        fan.rpm,
                                        id + QStringLiteral("fan") + QString::number(fan.index)));
        }
        if (gpu.loadValid) {
            entry.sensors.append(
                sensor(QStringLiteral("GPU Core"), kLoad, gpu.load, id + QStringLiteral("utilization")));
        }
        if (!entry.sensors.isEmpty()) {
            others.append(entry);
        }
    }

    HardwareEntry zones;
    zones.name = QStringLiteral("Thermal Zones");
    zones.type = QStringLiteral("Thermal");
    for (const ThermalZone& zone : readings.zones) {
        if (zone.valid) {
            const QString type = SystemInfo::cleanText(zone.type);
            zones.sensors.append(sensor(type.isEmpty() ? QStringLiteral("Zone #") + QString::number(zone.number) : type,
                                        kTemperature,
                                        zone.value,
                                        QStringLiteral("thermal_zone") + QString::number(zone.number)));
        }
    }
    if (!zones.sensors.isEmpty()) {
        others.append(zones);
    }
    return others;
}
} // namespace

QString fanSensorName(const QString& label)
{
    QString name = SystemInfo::cleanText(QString(label).replace(QLatin1Char('_'), QLatin1Char(' ')));
    if (name.isEmpty() || name.contains(kTemperature, Qt::CaseInsensitive)) {
        return QString();
    }
    static const QSet<QString> cpuFan {
        QStringLiteral("cpu"), QStringLiteral("cpu fan"), QStringLiteral("processor"), QStringLiteral("processor fan")};
    static const QSet<QString> pumpFan {QStringLiteral("pump"),
                                        QStringLiteral("pump fan"),
                                        QStringLiteral("pump speed"),
                                        QStringLiteral("cpu pump"),
                                        QStringLiteral("aio pump"),
                                        QStringLiteral("water pump")};
    const QString lower = name.toLower();
    if (cpuFan.contains(lower)) {
        return QStringLiteral("CPU Fan");
    }
    if (pumpFan.contains(lower)) {
        return QStringLiteral("Pump Fan");
    }
    // The last of the client's fan rules takes any name with "Fan" in it: every fan must have one.
    if (name.contains(kFan)) {
        return name;
    }
    const int fan = lower.indexOf(QLatin1String("fan"));
    if (fan >= 0) {
        return name.replace(fan, 3, kFan);
    }
    return name + QStringLiteral(" Fan");
}

QVector<HardwareEntry> layoutSensors(const SensorReadings& readings)
{
    QVector<HardwareEntry> components;

    HardwareEntry board;
    board.name = readings.boardName;
    board.type = QStringLiteral("Motherboard");
    board.hasSubHardware = true;
    board.subName = QStringLiteral("Fans");
    board.subType = QStringLiteral("SuperIO");
    board.subSensors = fanSensors(readings);
    components.append(board);

    components.append(cpuComponent(readings));
    components += otherComponents(readings);
    return components;
}
