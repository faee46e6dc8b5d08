// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for NVIDIA's libnvidia-ml.so.1, for the sensor server's tests: the cards, their figures and what fails
// come from the file in $NVML_STANDIN_GPUS, read afresh at every call, so that a test may change them while a server
// runs; every call is logged, one line each, to $NVML_STANDIN_CALLS. Built twice: once with every function the server
// may use, once without nvmlDeviceGetFanSpeedRPM, as older drivers ship it.
//
// The file's lines:
//   init CODE                                what nvmlInit_v2 answers (0 when absent)
//   gpu BUSID TEMP LOAD FANS NAME...         a card; TEMP "lost" makes its figure calls fail (GPU_IS_LOST);
//                                            FANS is "-" or speeds in RPM, "1450,1510", "na" for "not supported"
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

enum {
    kSuccess = 0,
    kUninitialized = 1,
    kInvalidArgument = 2,
    kNotSupported = 3,
    kNotFound = 6,
    kGpuIsLost = 15,
};

typedef struct nvmlDevice_st* nvmlDevice_t;
typedef struct
{
    unsigned int gpu;
    unsigned int memory;
} nvmlUtilization_t;
typedef struct
{
    char busIdLegacy[16];
    unsigned int domain, bus, device, pciDeviceId, pciSubSystemId;
    char busId[32];
} nvmlPciInfo_t;
typedef struct
{
    unsigned int version, fan, speed;
} nvmlFanSpeedInfo_t;

#define MAX_GPUS 8
#define MAX_FANS 4

typedef struct
{
    char busId[32];
    char name[96];
    int lost;
    unsigned int temperature, load;
    int fansUnsupported;
    int fanCount;
    unsigned int fans[MAX_FANS];
} Gpu;

static Gpu gpus[MAX_GPUS];
static int gpuCount;
static int initAnswer;
static int sessions;
static unsigned int generation;

static void logCall(const char* function, const Gpu* gpu)
{
    const char* path = getenv("NVML_STANDIN_CALLS");
    FILE* file = path ? fopen(path, "a") : NULL;
    if (file) {
        fprintf(file, "%s %s\n", function, gpu ? gpu->busId : "-");
        fclose(file);
    }
}

static void readSetup(void)
{
    gpuCount = 0;
    initAnswer = 0;
    const char* path = getenv("NVML_STANDIN_GPUS");
    FILE* file = path ? fopen(path, "r") : NULL;
    if (!file) {
        return;
    }
    char line[512];
    while (fgets(line, sizeof line, file)) {
        line[strcspn(line, "\n")] = '\0';
        char temperature[16], fans[64];
        int used = 0;
        Gpu gpu;
        memset(&gpu, 0, sizeof gpu);
        if (sscanf(line, "init %d", &initAnswer) == 1 || gpuCount == MAX_GPUS) {
            continue;
        }
        if (sscanf(line, "gpu %31s %15s %u %63s %n", gpu.busId, temperature, &gpu.load, fans, &used) < 4 || !used) {
            continue;
        }
        snprintf(gpu.name, sizeof gpu.name, "%s", line + used);
        gpu.lost = strcmp(temperature, "lost") == 0;
        gpu.temperature = (unsigned int)strtoul(temperature, NULL, 10);
        gpu.fansUnsupported = strcmp(fans, "na") == 0;
        for (char* fan = strtok(fans, ","); fan && strcmp(fans, "-") && gpu.fanCount < MAX_FANS;
             fan = strtok(NULL, ",")) {
            gpu.fans[gpu.fanCount++] = (unsigned int)strtoul(fan, NULL, 10);
        }
        gpus[gpuCount++] = gpu;
    }
    fclose(file);
}

// A handle names its card and the session it was taken in: one kept across nvmlShutdown/nvmlInit_v2 fails.
static nvmlDevice_t handleOf(int index)
{
    return (nvmlDevice_t)(uintptr_t)((generation << 8) | (unsigned int)(index + 1));
}

static Gpu* gpuOf(nvmlDevice_t device, const char* function, int* answer)
{
    readSetup();
    const uintptr_t value = (uintptr_t)device;
    const int index = (int)(value & 0xff) - 1;
    Gpu* gpu = index >= 0 && index < gpuCount ? &gpus[index] : NULL;
    logCall(function, gpu);
    if (!sessions) {
        *answer = kUninitialized;
        return NULL;
    }
    if (!gpu || (value >> 8) != generation) {
        *answer = kInvalidArgument;
        return NULL;
    }
    if (gpu->lost) {
        *answer = kGpuIsLost;
        return NULL;
    }
    *answer = kSuccess;
    return gpu;
}

// Bus ids compare without the domain's leading zeros: "0000:01:00.0" is "00000000:01:00.0".
static int sameBusId(const char* a, const char* b)
{
    const char* restA = strchr(a, ':');
    const char* restB = strchr(b, ':');
    return restA && restB && strtoul(a, NULL, 16) == strtoul(b, NULL, 16) && strcasecmp(restA, restB) == 0;
}

EXPORT int nvmlInit_v2(void)
{
    readSetup();
    logCall("nvmlInit_v2", NULL);
    if (initAnswer != kSuccess) {
        return initAnswer;
    }
    ++sessions;
    ++generation;
    return kSuccess;
}

EXPORT int nvmlShutdown(void)
{
    logCall("nvmlShutdown", NULL);
    if (!sessions) {
        return kUninitialized;
    }
    --sessions;
    return kSuccess;
}

EXPORT const char* nvmlErrorString(int result)
{
    switch (result) {
    case kSuccess:
        return "Success";
    case kUninitialized:
        return "Uninitialized";
    case kNotSupported:
        return "Not Supported";
    case kNotFound:
        return "Not Found";
    case 9:
        return "Driver Not Loaded";
    case kGpuIsLost:
        return "GPU is lost";
    default:
        return "Invalid Argument";
    }
}

EXPORT int nvmlDeviceGetCount_v2(unsigned int* count)
{
    readSetup();
    logCall("nvmlDeviceGetCount_v2", NULL);
    if (!sessions) {
        return kUninitialized;
    }
    *count = (unsigned int)gpuCount;
    return kSuccess;
}

EXPORT int nvmlDeviceGetHandleByIndex_v2(unsigned int index, nvmlDevice_t* device)
{
    readSetup();
    logCall("nvmlDeviceGetHandleByIndex_v2", index < (unsigned int)gpuCount ? &gpus[index] : NULL);
    if (!sessions) {
        return kUninitialized;
    }
    if (index >= (unsigned int)gpuCount) {
        return kInvalidArgument;
    }
    *device = handleOf((int)index);
    return kSuccess;
}

EXPORT int nvmlDeviceGetHandleByPciBusId_v2(const char* busId, nvmlDevice_t* device)
{
    readSetup();
    for (int i = 0; i < gpuCount; ++i) {
        if (sameBusId(busId, gpus[i].busId)) {
            logCall("nvmlDeviceGetHandleByPciBusId_v2", &gpus[i]);
            if (!sessions) {
                return kUninitialized;
            }
            *device = handleOf(i);
            return kSuccess;
        }
    }
    logCall("nvmlDeviceGetHandleByPciBusId_v2", NULL);
    return sessions ? kNotFound : kUninitialized;
}

EXPORT int nvmlDeviceGetName(nvmlDevice_t device, char* name, unsigned int length)
{
    int answer;
    const Gpu* gpu = gpuOf(device, "nvmlDeviceGetName", &answer);
    if (gpu) {
        snprintf(name, length, "%s", gpu->name);
    }
    return answer;
}

EXPORT int nvmlDeviceGetPciInfo_v3(nvmlDevice_t device, nvmlPciInfo_t* pci)
{
    int answer;
    const Gpu* gpu = gpuOf(device, "nvmlDeviceGetPciInfo_v3", &answer);
    if (gpu) {
        memset(pci, 0, sizeof *pci);
        // NVML's own spelling, with an eight-digit domain.
        snprintf(pci->busId, sizeof pci->busId, "0000%s", gpu->busId);
    }
    return answer;
}

EXPORT int nvmlDeviceGetTemperature(nvmlDevice_t device, int sensor, unsigned int* celsius)
{
    int answer;
    const Gpu* gpu = gpuOf(device, "nvmlDeviceGetTemperature", &answer);
    if (gpu && sensor != 0) {
        return kInvalidArgument;
    }
    if (gpu) {
        *celsius = gpu->temperature;
    }
    return answer;
}

EXPORT int nvmlDeviceGetUtilizationRates(nvmlDevice_t device, nvmlUtilization_t* utilization)
{
    int answer;
    const Gpu* gpu = gpuOf(device, "nvmlDeviceGetUtilizationRates", &answer);
    if (gpu) {
        utilization->gpu = gpu->load;
        utilization->memory = gpu->load / 2;
    }
    return answer;
}

EXPORT int nvmlDeviceGetNumFans(nvmlDevice_t device, unsigned int* count)
{
    int answer;
    const Gpu* gpu = gpuOf(device, "nvmlDeviceGetNumFans", &answer);
    if (gpu) {
        *count = (unsigned int)(gpu->fansUnsupported ? 1 : gpu->fanCount);
    }
    return answer;
}

#ifndef NVML_STANDIN_WITHOUT_FAN_RPM
EXPORT int nvmlDeviceGetFanSpeedRPM(nvmlDevice_t device, nvmlFanSpeedInfo_t* info)
{
    int answer;
    const Gpu* gpu = gpuOf(device, "nvmlDeviceGetFanSpeedRPM", &answer);
    if (!gpu) {
        return answer;
    }
    if (info->version != ((unsigned int)sizeof(nvmlFanSpeedInfo_t) | (1U << 24)) ||
        info->fan >= (unsigned int)(gpu->fansUnsupported ? 1 : gpu->fanCount)) {
        return kInvalidArgument;
    }
    if (gpu->fansUnsupported) {
        return kNotSupported;
    }
    info->speed = gpu->fans[info->fan];
    return kSuccess;
}
#endif
