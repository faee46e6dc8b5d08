// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_GPUPOWER_H
#define ORVANE_GPUPOWER_H

#include <QString>
#include <functional>

// Whether a graphics card may be read now. Reading a card's sensors wakes it, and reading it every 2 s never lets it
// sleep: a card that sleeps is not read at all, and one that may sleep when idle (runtime power management on) is read
// no more often than once per its autosuspend delay and a second, so that it can get there between two readings.
// Only power/ is read for this, which leaves the card as it is.
class GpuPower
{
public:
    enum class Verdict {
        Read,     // read it now
        KeepLast, // awake, but read too recently: its last figures stand
        Asleep,   // leave it alone and out of the document
    };

    // `device` is the card's PCI device folder.
    explicit GpuPower(const QString& device);

    // What a reading does with the card, the one gate for every source of a card's figures.
    enum class Step {
        Skip,  // asleep: no figures, and none kept for when it wakes (`haveLast` cleared)
        Reuse, // its last figures stand
        Read,
    };

    // A verdict of Read counts as a reading at `nowMs` (a monotonic clock).
    Verdict verdict(qint64 nowMs);
    // The step for a card whose last figures are kept where `haveLast` is true.
    Step step(qint64 nowMs, bool& haveLast);
    // Whether the card may sleep when idle, as of the last verdict: then nothing may hold it awake between readings.
    bool mayIdle() const { return mMayIdle; }

private:
    QString mPower;
    qint64 mLastRead = 0;
    bool mEverRead = false;
    bool mMayIdle = false;
};

// Milliseconds of a monotonic clock.
qint64 monotonicMs();
// The clock a reader paces cards by: monotonicMs, or a test's own that it steps.
using Clock = std::function<qint64()>;

#endif // ORVANE_GPUPOWER_H
