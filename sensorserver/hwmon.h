// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_HWMON_H
#define ORVANE_HWMON_H

#include "gpupower.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>
#include <memory>

namespace SysfsFile {
class Directory;
}

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
    // A graphics card's load (amdgpu's gpu_busy_percent), where it has one.
    bool loadValid = false;
    double load = 0.0;
};

// Readings that real sensors give; outside these, the chip reports a fault or an unused input.
bool isPlausibleTemperature(double celsius);
bool isPlausibleFanSpeed(double rpm);

// Reads every hwmon device under `sysfsRoot`/class/hwmon, in order of N. A device's attributes stay open between
// readings, since opening dozens of files for every request costs more than reading them; devices that appear,
// vanish or are replaced between two readings are noticed on the next one.
class HwmonReader
{
public:
    // Graphics cards are paced by `clock`.
    explicit HwmonReader(const QString& sysfsRoot, Clock clock = monotonicMs);
    ~HwmonReader();
    HwmonReader(const HwmonReader&) = delete;
    HwmonReader& operator=(const HwmonReader&) = delete;

    QVector<HwmonChip> read();

private:
    struct OpenInput
    {
        int index = 0;
        QString label;
        int fd = -1;
    };
    struct OpenChip
    {
        QByteArray entry;
        int number = 0;
        QString name;
        quint64 device = 0;
        quint64 inode = 0;
        bool attributesOnParent = false;
        bool inputsOpen = false;
        QVector<OpenInput> temps;
        QVector<OpenInput> fans;
        int loadFd = -1;
        // Graphics cards only.
        std::shared_ptr<GpuPower> power;
        bool haveLast = false;
        HwmonChip last;
    };

    bool openChip(const SysfsFile::Directory& classDir, const QByteArray& entry, OpenChip* chip);
    void openInputs(OpenChip& chip);
    QVector<OpenInput> openInputs(const SysfsFile::Directory& dir, const char* prefix);
    static bool readChip(const OpenChip& chip, HwmonChip* out);
    void closeChip(OpenChip& chip);

    QString mClassPath;
    Clock mClock;
    QHash<QByteArray, OpenChip> mChips; // by hwmonN
    int mOpenFiles = 0;
};

#endif // ORVANE_HWMON_H
