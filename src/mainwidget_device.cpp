// The display device session: handshake, value frames, arrival/removal and sleep/wake.
#include "mainwidget.h"

#include "usbhidapi.h"
#include "usbprotocol.h"

void MainWidget::onUsbHidInit()
{
    mUsbHidApi = new USBHidApi();
    mUsbProtocol = new USBProtocol();
}

void MainWidget::onUsbConnect()
{
}

void MainWidget::onUsbDisConnect()
{
}

void MainWidget::slot_usbHidMonitor(bool isConnect)
{
    Q_UNUSED(isConnect);
}

void MainWidget::onUsbHidSendValue(int tem, int fan, int load)
{
    Q_UNUSED(tem);
    Q_UNUSED(fan);
    Q_UNUSED(load);
}

void MainWidget::onSystemSuspend()
{
}

void MainWidget::onSystemResume()
{
}
