// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_CPULOAD_H
#define ORVANE_CPULOAD_H

#include <QElapsedTimer>
#include <QString>
#include <QVector>

// CPU load from /proc/stat over the time since the previous reading: the whole machine and each logical CPU.
class CpuLoad
{
public:
    struct Result
    {
        bool valid = false;
        double total = 0.0;                 // percent
        QVector<QPair<int, double>> perCpu; // logical CPU number, percent
    };

    // Takes the first sample at once, so that the first reading covers the time since the server started.
    explicit CpuLoad(const QString& procRoot);
    ~CpuLoad();
    CpuLoad(const CpuLoad&) = delete;
    CpuLoad& operator=(const CpuLoad&) = delete;

    Result read();

private:
    struct Times
    {
        quint64 busy = 0;
        quint64 total = 0;
    };
    struct Sample
    {
        bool valid = false;
        Times all;
        QVector<QPair<int, Times>> cpus;
    };

    Sample takeSample();
    static double percent(const Times& now, const Times* before);

    QString mStatPath;
    int mStatFd = -1; // kept open: read from its start again for every sample
    Sample mPrevious;
    QElapsedTimer mSince;
    Result mLast;
    bool mHaveResult = false;
};

#endif // ORVANE_CPULOAD_H
