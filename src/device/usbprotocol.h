// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_USBPROTOCOL_H
#define ORVANE_USBPROTOCOL_H

#include <QByteArray>

// Builds the device's 64-byte frames and checks its replies. Does no input or output of its own.
class USBProtocol
{
public:
    USBProtocol();

    QByteArray GenerateScramblerSeed();
    QByteArray CheckResScrambleSeen(QByteArray checkArray);
    QByteArray GenerateHardWareVersion();
    QByteArray CheckResHardWareVersion(QByteArray checkArray);
    QByteArray GenerateShowDevInfo(int temp, int fan, int cpuload);
    QByteArray Scrambler(uchar init, QByteArray src);

private:
    char mFrameIndex;
};

#endif // ORVANE_USBPROTOCOL_H
