// SPDX-License-Identifier: GPL-3.0-or-later
#include "requesttrace.h"

#include <chrono>
#include <cstdio>

RequestTrace::RequestTrace()
{
    const QString path = qEnvironmentVariable("ORVANE_SENSOR_TRACE");
    if (!path.isEmpty()) {
        mFile.setFileName(path);
        mFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    }
}

void RequestTrace::note(const QByteArray& request)
{
    if (!mFile.isOpen()) {
        return;
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%.3f ", ms);
    mFile.write(QByteArray(stamp) + request + '\n');
}
