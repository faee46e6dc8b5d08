#ifndef ORVANE_USBPROTOCOL_H
#define ORVANE_USBPROTOCOL_H

#include <QByteArray>

// Builds the device's 64-byte frames and checks its replies.
class USBProtocol
{
public:
    USBProtocol();

private:
    char mFrameIndex;
};

#endif // ORVANE_USBPROTOCOL_H
