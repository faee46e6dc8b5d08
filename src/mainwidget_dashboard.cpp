// Readouts, fan gauge, message dialog and the device menu actions.
#include "mainwidget.h"

#include "dashboardstyles.h"
#include "ui_mainwidget.h"

void MainWidget::slot_hwReadData(ST_HWINFO_DATA stHwInfoData)
{
    Q_UNUSED(stHwInfoData);
}

void MainWidget::onSetFanSpeedImage(int value)
{
    Q_UNUSED(value);
}

bool MainWidget::onMessageDialog(QString info, int type)
{
    Q_UNUSED(info);
    Q_UNUSED(type);
    return true;
}

void MainWidget::slot_menu_version()
{
}

bool MainWidget::onGetHardWareVersion(QByteArray& retArray)
{
    Q_UNUSED(retArray);
    return false;
}

void MainWidget::slot_menu_update()
{
}
