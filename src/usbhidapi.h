#ifndef ORVANE_USBHIDAPI_H
#define ORVANE_USBHIDAPI_H

#include <QObject>

// The only code that talks to the HID display device.
class USBHidApi : public QObject
{
    Q_OBJECT

public:
    explicit USBHidApi(QObject* parent = nullptr);
    int closeHid();
};

#endif // ORVANE_USBHIDAPI_H
