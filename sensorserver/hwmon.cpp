// SPDX-License-Identifier: GPL-3.0-or-later
#include "hwmon.h"

#include "amdgpu.h"
#include "drivers.h"
#include "sysfsfile.h"

#include <QSet>
#include <algorithm>
#include <unistd.h>

using SysfsFile::Directory;
using SysfsFile::ReadResult;

namespace {
// Far below the usual limit of 1024 descriptors, and more than the largest machines have sensors.
constexpr int kMaxOpenFiles = 512;

// "hwmon12" -> 12, "temp3_input" with prefix "temp" and suffix "_input" -> 3; -1 when the name is not of that form.
int numberIn(const QByteArray& name, const char* prefix, const char* suffix)
{
    const int prefixSize = int(qstrlen(prefix));
    const int suffixSize = int(qstrlen(suffix));
    if (name.size() <= prefixSize + suffixSize || !name.startsWith(prefix) || !name.endsWith(suffix)) {
        return -1;
    }
    int number = 0;
    for (int i = prefixSize; i < name.size() - suffixSize; ++i) {
        const char c = name.at(i);
        if (c < '0' || c > '9' || number > 100000) {
            return -1;
        }
        number = number * 10 + (c - '0');
    }
    return number;
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

HwmonReader::HwmonReader(const QString& sysfsRoot, Clock clock)
    : mClassPath(sysfsRoot + QStringLiteral("/class/hwmon")), mClock(std::move(clock))
{
}

HwmonReader::~HwmonReader()
{
    for (OpenChip& chip : mChips) {
        closeChip(chip);
    }
}

QVector<HwmonChip> HwmonReader::read()
{
    QVector<HwmonChip> chips;
    const Directory classDir(mClassPath);
    QSet<QByteArray> present;
    const qint64 now = mClock();
    for (const QByteArray& entry : classDir.entries()) {
        if (numberIn(entry, "hwmon", "") < 0) {
            continue;
        }
        quint64 device = 0;
        quint64 inode = 0;
        if (!classDir.identity(entry, &device, &inode)) {
            // A link to a device that went away.
            continue;
        }
        present.insert(entry);
        auto it = mChips.find(entry);
        if (it != mChips.end() && (it->device != device || it->inode != inode)) {
            closeChip(*it);
            mChips.erase(it);
            it = mChips.end();
        }
        const auto openEntry = [&]() {
            OpenChip opened;
            if (!openChip(classDir, entry, &opened)) {
                return false;
            }
            opened.device = device;
            opened.inode = inode;
            it = mChips.insert(entry, opened);
            return true;
        };
        if (it == mChips.end() && !openEntry()) {
            continue;
        }
        const GpuPower::Step step = it->power ? it->power->step(now, it->haveLast) : GpuPower::Step::Read;
        if (step == GpuPower::Step::Skip) {
            continue;
        }
        if (step == GpuPower::Step::Reuse) {
            chips.append(it->last);
            continue;
        }
        HwmonChip chip;
        bool read = false;
        // A device kept open may have gone between the listing and now: open it once more.
        for (int attempt = 0; attempt < 2 && !read; ++attempt) {
            if (it == mChips.end() && !openEntry()) {
                break;
            }
            openInputs(*it);
            read = readChip(*it, &chip);
            if (!read) {
                closeChip(*it);
                mChips.erase(it);
                it = mChips.end();
            }
        }
        if (read) {
            it->last = chip;
            it->haveLast = true;
            chips.append(chip);
        }
    }
    for (auto it = mChips.begin(); it != mChips.end();) {
        if (present.contains(it.key())) {
            ++it;
        } else {
            closeChip(*it);
            it = mChips.erase(it);
        }
    }
    std::sort(chips.begin(), chips.end(), [](const HwmonChip& a, const HwmonChip& b) { return a.number < b.number; });
    return chips;
}

bool HwmonReader::openChip(const Directory& classDir, const QByteArray& entry, OpenChip* chip)
{
    const Directory device(classDir, entry);
    if (!device.isOpen()) {
        return false;
    }
    chip->entry = entry;
    chip->number = numberIn(entry, "hwmon", "");
    QByteArray name;
    if (!device.readText("name", &name)) {
        // Older drivers keep their attributes on the parent device.
        const Directory parent(device, "device");
        chip->attributesOnParent = parent.readText("name", &name);
    }
    chip->name = name.isEmpty() ? QString::fromUtf8(entry) : QString::fromUtf8(name);
    if (Drivers::kindOf(chip->name) == Drivers::Kind::Gpu) {
        chip->power = std::make_shared<GpuPower>(mClassPath + QLatin1Char('/') + QString::fromUtf8(entry) +
                                                 QStringLiteral("/device"));
    }
    return true;
}

void HwmonReader::openInputs(OpenChip& chip)
{
    // Opened at the first reading that may touch the device, never while a card sleeps.
    if (chip.inputsOpen) {
        return;
    }
    chip.inputsOpen = true;
    const Directory device(mClassPath + QLatin1Char('/') + QString::fromUtf8(chip.entry));
    const Directory parent(device, "device");
    const Directory& attributes = chip.attributesOnParent ? parent : device;
    chip.temps = openInputs(attributes, "temp");
    chip.fans = openInputs(attributes, "fan");
    if (chip.power && mOpenFiles < kMaxOpenFiles) {
        chip.loadFd = AmdGpu::openLoad(parent);
        if (chip.loadFd >= 0) {
            ++mOpenFiles;
        }
    }
}

QVector<HwmonReader::OpenInput> HwmonReader::openInputs(const Directory& dir, const char* prefix)
{
    const QList<QByteArray> names = dir.entries();
    const QSet<QByteArray> present(names.begin(), names.end());
    QVector<OpenInput> inputs;
    for (const QByteArray& name : names) {
        const int index = numberIn(name, prefix, "_input");
        if (index < 0 || mOpenFiles >= kMaxOpenFiles) {
            continue;
        }
        OpenInput input;
        input.index = index;
        // Labels do not change while the device exists: read once.
        const QByteArray labelName = prefix + QByteArray::number(index) + "_label";
        QByteArray label;
        if (present.contains(labelName) && dir.readText(labelName, &label)) {
            input.label = QString::fromUtf8(label);
        }
        input.fd = dir.open(name);
        if (input.fd >= 0) {
            ++mOpenFiles;
        }
        inputs.append(input);
    }
    std::sort(inputs.begin(), inputs.end(), [](const OpenInput& a, const OpenInput& b) { return a.index < b.index; });
    return inputs;
}

bool HwmonReader::readChip(const OpenChip& chip, HwmonChip* out)
{
    out->number = chip.number;
    out->name = chip.name;
    const auto readInputs = [](const QVector<OpenInput>& open, QVector<HwmonInput>* inputs, bool temperature) {
        inputs->reserve(open.size());
        for (const OpenInput& in : open) {
            HwmonInput input;
            input.index = in.index;
            input.label = in.label;
            long long raw = 0;
            const ReadResult result = SysfsFile::readOpenInteger(in.fd, &raw);
            if (result == ReadResult::DeviceGone) {
                return false;
            }
            if (result == ReadResult::Ok) {
                input.value = temperature ? double(raw) / 1000.0 : double(raw);
                input.valid = temperature ? isPlausibleTemperature(input.value) : isPlausibleFanSpeed(input.value);
            }
            inputs->append(input);
        }
        return true;
    };
    if (!readInputs(chip.temps, &out->temps, true) || !readInputs(chip.fans, &out->fans, false)) {
        return false;
    }
    out->loadValid = AmdGpu::readLoad(chip.loadFd, &out->load);
    return true;
}

void HwmonReader::closeChip(OpenChip& chip)
{
    for (QVector<OpenInput>* inputs : {&chip.temps, &chip.fans}) {
        for (OpenInput& input : *inputs) {
            if (input.fd >= 0) {
                ::close(input.fd);
                input.fd = -1;
                --mOpenFiles;
            }
        }
    }
    if (chip.loadFd >= 0) {
        ::close(chip.loadFd);
        chip.loadFd = -1;
        --mOpenFiles;
    }
}
