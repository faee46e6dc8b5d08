#include "hwmon.h"

#include "sysfsfile.h"

#include <QSet>
#include <algorithm>

namespace {
// "hwmon12" -> 12, "temp3_input" with prefix "temp" and suffix "_input" -> 3; -1 when the name is not of that form.
int numberIn(const QString& name, const QString& prefix, const QString& suffix)
{
    if (!name.startsWith(prefix) || !name.endsWith(suffix) || name.size() <= prefix.size() + suffix.size()) {
        return -1;
    }
    const QStringRef digits = name.midRef(prefix.size(), name.size() - prefix.size() - suffix.size());
    for (const QChar c : digits) {
        if (!c.isDigit()) {
            return -1;
        }
    }
    bool ok = false;
    const int number = digits.toInt(&ok);
    return ok ? number : -1;
}

QString readLabel(const QString& path)
{
    QByteArray text;
    if (!SysfsFile::readText(path, &text, 256)) {
        return QString();
    }
    return QString::fromUtf8(text);
}

QVector<HwmonInput> readInputs(
    const QString& dir, const QStringList& names, const QSet<QString>& present, const QString& prefix, bool temperature)
{
    QVector<HwmonInput> inputs;
    const QString inputSuffix = QStringLiteral("_input");
    for (const QString& name : names) {
        const int index = numberIn(name, prefix, inputSuffix);
        if (index < 0) {
            continue;
        }
        HwmonInput input;
        input.index = index;
        const QString labelName = prefix + QString::number(index) + QStringLiteral("_label");
        if (present.contains(labelName)) {
            input.label = readLabel(dir + QLatin1Char('/') + labelName);
        }
        long long raw = 0;
        if (SysfsFile::readInteger(dir + QLatin1Char('/') + name, &raw)) {
            input.value = temperature ? double(raw) / 1000.0 : double(raw);
            input.valid = temperature ? isPlausibleTemperature(input.value) : isPlausibleFanSpeed(input.value);
        }
        inputs.append(input);
    }
    std::sort(inputs.begin(), inputs.end(), [](const HwmonInput& a, const HwmonInput& b) { return a.index < b.index; });
    return inputs;
}
} // namespace

bool isPlausibleTemperature(double celsius)
{
    // −55, 127 and 128 °C are what chips report for an open or unused input.
    return celsius > -40.0 && celsius < 125.0;
}

bool isPlausibleFanSpeed(double rpm)
{
    // 65535 and 32767 are a counter that overflowed: a stalled fan or an empty header on some chips.
    return rpm >= 0.0 && rpm < 30000.0;
}

QVector<HwmonChip> readHwmonChips(const QString& sysfsRoot)
{
    QVector<HwmonChip> chips;
    const QString classDir = sysfsRoot + QStringLiteral("/class/hwmon");
    for (const QString& entry : SysfsFile::entries(classDir)) {
        const int number = numberIn(entry, QStringLiteral("hwmon"), QString());
        if (number < 0) {
            continue;
        }
        HwmonChip chip;
        chip.number = number;
        QString dir = classDir + QLatin1Char('/') + entry;
        QByteArray name;
        if (!SysfsFile::readText(dir + QStringLiteral("/name"), &name, 256)) {
            // Older drivers keep their attributes on the parent device.
            const QString deviceDir = dir + QStringLiteral("/device");
            if (SysfsFile::readText(deviceDir + QStringLiteral("/name"), &name, 256)) {
                dir = deviceDir;
            } else {
                name.clear();
            }
        }
        chip.name = name.isEmpty() ? entry : QString::fromUtf8(name);

        const QStringList names = SysfsFile::entries(dir);
        const QSet<QString> present(names.begin(), names.end());
        chip.temps = readInputs(dir, names, present, QStringLiteral("temp"), true);
        chip.fans = readInputs(dir, names, present, QStringLiteral("fan"), false);
        chips.append(chip);
    }
    std::sort(chips.begin(), chips.end(), [](const HwmonChip& a, const HwmonChip& b) { return a.number < b.number; });
    return chips;
}

QVector<ThermalZone> readThermalZones(const QString& sysfsRoot)
{
    QVector<ThermalZone> zones;
    const QString classDir = sysfsRoot + QStringLiteral("/class/thermal");
    for (const QString& entry : SysfsFile::entries(classDir)) {
        const int number = numberIn(entry, QStringLiteral("thermal_zone"), QString());
        if (number < 0) {
            continue;
        }
        const QString dir = classDir + QLatin1Char('/') + entry;
        ThermalZone zone;
        zone.number = number;
        QByteArray type;
        if (SysfsFile::readText(dir + QStringLiteral("/type"), &type, 256)) {
            zone.type = QString::fromUtf8(type);
        }
        long long raw = 0;
        if (SysfsFile::readInteger(dir + QStringLiteral("/temp"), &raw)) {
            zone.value = double(raw) / 1000.0;
            zone.valid = isPlausibleTemperature(zone.value);
        }
        zones.append(zone);
    }
    std::sort(
        zones.begin(), zones.end(), [](const ThermalZone& a, const ThermalZone& b) { return a.number < b.number; });
    return zones;
}
