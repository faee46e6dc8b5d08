// SPDX-License-Identifier: GPL-3.0-or-later
#include "cpuload.h"

#include "sysfsfile.h"

#include <QFile>
#include <QList>
#include <QThread>
#include <fcntl.h>
#include <unistd.h>

namespace {
// Shorter windows than this are mostly rounding: the kernel counts in ticks of 10 ms.
constexpr qint64 kMinWindowMs = 100;
// Enough for the cpu lines of a machine with several hundred CPUs; the long interrupt lines after them are not needed.
constexpr int kStatReadBytes = 64 * 1024;
} // namespace

CpuLoad::CpuLoad(const QString& procRoot) : mStatPath(procRoot + QStringLiteral("/stat"))
{
    mPrevious = takeSample();
    mSince.start();
}

CpuLoad::~CpuLoad()
{
    if (mStatFd >= 0) {
        ::close(mStatFd);
    }
}

CpuLoad::Sample CpuLoad::takeSample()
{
    Sample sample;
    if (mStatFd < 0) {
        mStatFd = ::open(QFile::encodeName(mStatPath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    }
    QByteArray text;
    if (SysfsFile::readOpen(mStatFd, &text, kStatReadBytes) != SysfsFile::ReadResult::Ok) {
        if (mStatFd >= 0) {
            ::close(mStatFd);
            mStatFd = -1;
        }
        return sample;
    }
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray& line : lines) {
        if (!line.startsWith("cpu")) {
            continue;
        }
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 5) {
            continue;
        }
        // user nice system idle iowait irq softirq steal guest guest_nice; older kernels stop earlier.
        quint64 value[10] = {};
        for (int i = 0; i < 10 && i + 1 < fields.size(); ++i) {
            value[i] = fields.at(i + 1).toULongLong();
        }
        Times times;
        // Guest time is already counted in user and nice; idle and iowait are time the CPU had nothing to run.
        times.busy = value[0] + value[1] + value[2] + value[5] + value[6] + value[7];
        times.total = times.busy + value[3] + value[4];

        const QByteArray label = fields.first();
        if (label == "cpu") {
            sample.all = times;
            sample.valid = true;
        } else {
            bool ok = false;
            const int number = label.mid(3).toInt(&ok);
            if (ok) {
                sample.cpus.append(qMakePair(number, times));
            }
        }
    }
    return sample;
}

double CpuLoad::percent(const Times& now, const Times* before)
{
    // Without an earlier sample, or when the counters did not move or went back (a CPU that came back online), the
    // average since boot is the best there is.
    if (before && now.total > before->total && now.busy >= before->busy) {
        const quint64 total = now.total - before->total;
        const quint64 busy = qMin(now.busy - before->busy, total);
        return 100.0 * double(busy) / double(total);
    }
    if (now.total == 0) {
        return 0.0;
    }
    return 100.0 * double(qMin(now.busy, now.total)) / double(now.total);
}

CpuLoad::Result CpuLoad::read()
{
    qint64 elapsed = mSince.elapsed();
    if (elapsed < kMinWindowMs) {
        if (mHaveResult) {
            // Asked again right away: the last figure is still the latest one worth giving.
            return mLast;
        }
        QThread::msleep(static_cast<unsigned long>(kMinWindowMs - elapsed));
    }

    const Sample now = takeSample();
    Result result;
    if (now.valid) {
        result.valid = true;
        result.total = percent(now.all, mPrevious.valid ? &mPrevious.all : nullptr);
        for (int i = 0; i < now.cpus.size(); ++i) {
            const auto& cpu = now.cpus.at(i);
            const Times* before = nullptr;
            if (i < mPrevious.cpus.size() && mPrevious.cpus.at(i).first == cpu.first) {
                before = &mPrevious.cpus.at(i).second;
            } else {
                // CPUs went offline or came back: look the number up.
                for (const auto& old : mPrevious.cpus) {
                    if (old.first == cpu.first) {
                        before = &old.second;
                        break;
                    }
                }
            }
            result.perCpu.append(qMakePair(cpu.first, percent(cpu.second, before)));
        }
    }
    mPrevious = now;
    mSince.restart();
    mLast = result;
    mHaveResult = true;
    return result;
}
