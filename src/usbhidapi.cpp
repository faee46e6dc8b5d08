#include "usbhidapi.h"

USBHidApi::USBHidApi(QObject* parent)
    : QObject(parent)
{
}

int USBHidApi::closeHid()
{
    return 0;
}
