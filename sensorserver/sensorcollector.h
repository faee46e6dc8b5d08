#ifndef ORVANE_SENSORCOLLECTOR_H
#define ORVANE_SENSORCOLLECTOR_H

#include "cpuload.h"

#include <QByteArray>
#include <QString>

// Reads the machine afresh for every document; only the names of the CPU and the board, which cannot change while
// it runs, are read once.
class SensorCollector
{
public:
    SensorCollector(const QString& sysfsRoot, const QString& procRoot, const QString& fanMapPath);

    QByteArray document();

private:
    QString mSysfsRoot;
    QString mFanMapPath;
    QString mCpuModel;
    QString mBoardName;
    CpuLoad mLoad;
};

#endif // ORVANE_SENSORCOLLECTOR_H
