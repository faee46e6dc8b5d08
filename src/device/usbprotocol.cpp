// SPDX-License-Identifier: GPL-3.0-or-later
#include "usbprotocol.h"

namespace {
constexpr int kFrameSize = 64;
constexpr char kReportNumber = 0x01;
// Bit 7 set, low bits = bytes from offset 2 on that carry content.
constexpr char kLenCommandOnly = char(0x81);
constexpr char kLenShowDevInfo = char(0x86);

constexpr uchar CMD_SCRAMBLER_SEED = 0xE3;
constexpr uchar CMD_HARDWARE_VERSION = 0xE4;
constexpr uchar CMD_SHOW_DEV_INFO = 0xE0;

// Bytes 0..2 stay readable for the device: report number, length, command.
constexpr int kClearHeaderSize = 3;
constexpr int kVersionNonZeroCount = 13;
constexpr int kVersionOffset = 2;
constexpr int kVersionSize = 11;

QByteArray newFrame(char length, uchar command)
{
    QByteArray frame(kFrameSize, '\0');
    frame[0] = kReportNumber;
    frame[1] = length;
    frame[2] = char(command);
    return frame;
}

bool holdsAt(const QByteArray& array, int pos, uchar value)
{
    return pos < array.size() && uchar(array.at(pos)) == value;
}
} // namespace

USBProtocol::USBProtocol() : mFrameIndex(0) { }

QByteArray USBProtocol::GenerateScramblerSeed()
{
    return newFrame(kLenCommandOnly, CMD_SCRAMBLER_SEED);
}

QByteArray USBProtocol::CheckResScrambleSeen(QByteArray checkArray)
{
    // The reply may or may not start with the report number, so the marker is looked for at both positions.
    for (int markerPos = 0; markerPos <= 1; ++markerPos) {
        if (holdsAt(checkArray, markerPos, CMD_SCRAMBLER_SEED)) {
            if (markerPos + 1 < checkArray.size()) {
                return checkArray.mid(markerPos + 1, 1);
            }
            return QByteArray();
        }
    }
    return QByteArray();
}

QByteArray USBProtocol::GenerateHardWareVersion()
{
    return newFrame(kLenCommandOnly, CMD_HARDWARE_VERSION);
}

QByteArray USBProtocol::CheckResHardWareVersion(QByteArray checkArray)
{
    int count = 0;
    while (count < checkArray.size() && checkArray.at(count) != '\0') {
        ++count;
    }
    if (count != kVersionNonZeroCount) {
        return QByteArray();
    }
    return checkArray.mid(kVersionOffset, kVersionSize);
}

QByteArray USBProtocol::GenerateShowDevInfo(int temp, int fan, int cpuload)
{
    QByteArray frame = newFrame(kLenShowDevInfo, CMD_SHOW_DEV_INFO);
    frame[3] = mFrameIndex;
    frame[4] = char(temp & 0xFF);
    frame[5] = char((fan >> 8) & 0xFF);
    frame[6] = char(fan & 0xFF);
    frame[7] = char(cpuload & 0xFF);
    mFrameIndex = char(uchar(mFrameIndex) + 1);
    return frame;
}

QByteArray USBProtocol::Scrambler(uchar init, QByteArray src)
{
    QByteArray out(qMax(src.size(), kClearHeaderSize), '\0');
    for (int i = 0; i < kClearHeaderSize && i < src.size(); ++i) {
        out[i] = src.at(i);
    }

    // The state advances with the scrambled bit, and the bit enters at weight 2, so the device can undo it.
    uint b = init;
    for (int i = kClearHeaderSize; i < src.size(); ++i) {
        const uint in = uchar(src.at(i));
        uint outByte = 0;
        for (int k = 7; k >= 0; --k) {
            const uint d = (in >> k) & 1U;
            const uint f = ((b >> 7) ^ (b >> 4) ^ d) & 1U;
            outByte |= f << k;
            b = (2 * b + 2 * f) & 0xFFU;
        }
        out[i] = char(outByte);
    }
    return out;
}
