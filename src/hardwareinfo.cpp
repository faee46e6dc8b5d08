#include "hardwareinfo.h"

HardWareInfo::HardWareInfo(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<ST_HWINFO_DATA>("ST_HWINFO_DATA");
}

HardWareInfo::~HardWareInfo() = default;

void HardWareInfo::onStartVoViredo()
{
}

void HardWareInfo::onStopVoViredo()
{
}

void HardWareInfo::onWriteHwInfoData()
{
}

void HardWareInfo::slot_hwGetData()
{
    emit signal_hwReadData(ST_HWINFO_DATA{0, 0, 0});
}
