// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_NVML_H
#define ORVANE_NVML_H

#include <QString>

// The few parts of NVIDIA's management library that the sensor server uses, declared here: the library comes with
// the driver, is loaded at run time where it is installed, and is no build dependency.
namespace Nvml {
using Return = int;
using Device = struct nvmlDevice_st*;

constexpr Return kSuccess = 0;
constexpr Return kNotSupported = 3;
constexpr int kTemperatureGpu = 0;
constexpr unsigned int kNameBufferSize = 96;

struct Utilization
{
    unsigned int gpu;
    unsigned int memory;
};

struct PciInfo
{
    char busIdLegacy[16];
    unsigned int domain;
    unsigned int bus;
    unsigned int device;
    unsigned int pciDeviceId;
    unsigned int pciSubSystemId;
    char busId[32];
};

struct FanSpeedInfo
{
    unsigned int version;
    unsigned int fan;
    unsigned int speed; // RPM
};
constexpr unsigned int kFanSpeedInfoVersion1 = unsigned(sizeof(FanSpeedInfo)) | (1U << 24);

struct Api
{
    Return (*init)();
    Return (*shutdown)();
    const char* (*errorString)(Return);
    Return (*deviceCount)(unsigned int*);
    Return (*handleByIndex)(unsigned int, Device*);
    Return (*handleByPciBusId)(const char*, Device*);
    Return (*name)(Device, char*, unsigned int);
    Return (*pciInfo)(Device, PciInfo*);
    Return (*temperature)(Device, int, unsigned int*);
    Return (*utilization)(Device, Utilization*);
    // Newer drivers only: null where the library lacks them.
    Return (*fanCount)(Device, unsigned int*);
    Return (*fanSpeedRpm)(Device, FanSpeedInfo*);

    QString errorText(Return code) const;
};

// The library, loaded the first time it is asked for and kept for the life of the process; null, with the reason in
// `why`, where it is not installed or lacks a function every version has.
const Api* api(QString* why);
} // namespace Nvml

#endif // ORVANE_NVML_H
