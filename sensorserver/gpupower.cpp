// SPDX-License-Identifier: GPL-3.0-or-later
#include "gpupower.h"

#include "sysfsfile.h"

#include <ctime>

GpuPower::GpuPower(const QString& device) : mPower(device + QStringLiteral("/power/")) { }

GpuPower::Verdict GpuPower::verdict(qint64 nowMs)
{
    // Missing files or "unsupported": the kernel does not put this card to sleep, so reading cannot keep it awake.
    QByteArray status;
    SysfsFile::readText(mPower + QStringLiteral("runtime_status"), &status, 64);
    if (status == "suspended" || status == "suspending" || status == "resuming") {
        return Verdict::Asleep;
    }
    QByteArray control;
    SysfsFile::readText(mPower + QStringLiteral("control"), &control, 64);
    mMayIdle = control == "auto";
    if (mMayIdle && mEverRead) {
        QByteArray delayText;
        bool known = false;
        qint64 delay = 0;
        if (SysfsFile::readText(mPower + QStringLiteral("autosuspend_delay_ms"), &delayText, 64)) {
            delay = delayText.toLongLong(&known);
        }
        // A negative delay keeps the card from suspending by itself: nothing to wait for.
        const qint64 pause = (known ? delay : 0) + 1000;
        if (delay >= 0 && nowMs - mLastRead < pause) {
            return Verdict::KeepLast;
        }
    }
    mEverRead = true;
    mLastRead = nowMs;
    return Verdict::Read;
}

GpuPower::Step GpuPower::step(qint64 nowMs, bool& haveLast)
{
    switch (verdict(nowMs)) {
    case Verdict::Asleep:
        // Awake again, it is read at once rather than shown with its figures from before it slept.
        haveLast = false;
        return Step::Skip;
    case Verdict::KeepLast:
        if (haveLast) {
            return Step::Reuse;
        }
        break;
    case Verdict::Read:
        break;
    }
    return Step::Read;
}

qint64 monotonicMs()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
