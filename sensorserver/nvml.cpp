// SPDX-License-Identifier: GPL-3.0-or-later
#include "nvml.h"

#include <dlfcn.h>

namespace {
// The versioned name: the unversioned one belongs to the driver's development files.
constexpr char kLibrary[] = "libnvidia-ml.so.1";

template<typename Function>
bool look(void* library, const char* symbol, Function* function)
{
    *function = reinterpret_cast<Function>(::dlsym(library, symbol));
    return *function != nullptr;
}

struct Loaded
{
    Nvml::Api api {};
    bool ok = false;
    QString why;

    Loaded()
    {
        // Never closed: the driver's library does not expect to be unloaded while its threads may still run.
        void* library = ::dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            why = QString::fromLocal8Bit(::dlerror());
            return;
        }
        ok = look(library, "nvmlInit_v2", &api.init) && look(library, "nvmlShutdown", &api.shutdown) &&
             look(library, "nvmlErrorString", &api.errorString) &&
             look(library, "nvmlDeviceGetCount_v2", &api.deviceCount) &&
             look(library, "nvmlDeviceGetHandleByIndex_v2", &api.handleByIndex) &&
             look(library, "nvmlDeviceGetHandleByPciBusId_v2", &api.handleByPciBusId) &&
             look(library, "nvmlDeviceGetName", &api.name) && look(library, "nvmlDeviceGetPciInfo_v3", &api.pciInfo) &&
             look(library, "nvmlDeviceGetTemperature", &api.temperature) &&
             look(library, "nvmlDeviceGetUtilizationRates", &api.utilization);
        if (!ok) {
            why = QStringLiteral("%1 lacks %2").arg(QLatin1String(kLibrary), QString::fromLocal8Bit(::dlerror()));
            return;
        }
        look(library, "nvmlDeviceGetNumFans", &api.fanCount);
        look(library, "nvmlDeviceGetFanSpeedRPM", &api.fanSpeedRpm);
    }
};
} // namespace

QString Nvml::Api::errorText(Return code) const
{
    const char* text = errorString ? errorString(code) : nullptr;
    return text ? QString::fromUtf8(text) : QStringLiteral("error %1").arg(code);
}

const Nvml::Api* Nvml::api(QString* why)
{
    static const Loaded loaded;
    if (!loaded.ok && why) {
        *why = loaded.why;
    }
    return loaded.ok ? &loaded.api : nullptr;
}
