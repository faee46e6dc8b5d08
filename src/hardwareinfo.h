#ifndef ORVANE_HARDWAREINFO_H
#define ORVANE_HARDWAREINFO_H

#include "hwinfodata.h"

#include <QObject>

// Client of the sensor server; lives on its own worker thread.
class HardWareInfo : public QObject
{
    Q_OBJECT

public:
    explicit HardWareInfo(QObject* parent = nullptr);
    ~HardWareInfo() override;

    void onStartVoViredo();
    void onStopVoViredo();
    void onWriteHwInfoData();

signals:
    void signal_hwReadData(ST_HWINFO_DATA);

private slots:
    void slot_hwGetData();
};

#endif // ORVANE_HARDWAREINFO_H
