#include "usbprotocol.h"

USBProtocol::USBProtocol()
    : mFrameIndex(0)
{
}
