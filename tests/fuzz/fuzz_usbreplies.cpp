// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes as a device reply through USBProtocol's two reply checks, and (first byte as the
// seed, the rest as the frame) through the scrambler and back. Expected results are worked out here from the reply
// rules, not taken from the code under test.
#include "usbprotocol.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr uchar kSeedMarker = 0xE3;

[[noreturn]] void fail(const char* what, const QByteArray& input, const QByteArray& got, const QByteArray& want)
{
    std::fprintf(stderr,
                 "fuzz_usbreplies: %s\n  input %s\n  got   %s\n  want  %s\n",
                 what,
                 input.toHex(' ').constData(),
                 got.toHex(' ').constData(),
                 want.toHex(' ').constData());
    std::abort();
}

uchar byteAt(const QByteArray& array, int pos)
{
    return uchar(array.at(pos));
}

// Marker at byte 0 gives byte 1; else marker at byte 1 gives byte 2. The first marker found decides, even when the
// seed it points to is past the end.
QByteArray expectedSeed(const QByteArray& reply)
{
    for (int marker = 0; marker < 2; ++marker) {
        if (reply.size() > marker && byteAt(reply, marker) == kSeedMarker) {
            return reply.size() > marker + 1 ? QByteArray(1, reply.at(marker + 1)) : QByteArray();
        }
    }
    return QByteArray();
}

// Exactly 13 leading non-zero bytes: bytes 2 to 12.
QByteArray expectedVersion(const QByteArray& reply)
{
    const int end = reply.indexOf('\0');
    const int leading = end < 0 ? reply.size() : end;
    return leading == 13 ? reply.mid(2, 11) : QByteArray();
}

// What the device does with a value frame: the state follows the scrambled bits, so each data bit comes back as
// the received bit XOR bits 7 and 4 of the state.
QByteArray descramble(uchar seed, const QByteArray& scrambled)
{
    QByteArray plain = scrambled;
    uchar state = seed;
    for (int i = 3; i < scrambled.size(); ++i) {
        const uchar in = byteAt(scrambled, i);
        uchar out = 0;
        for (int bit = 7; bit >= 0; --bit) {
            const bool received = in & (1U << bit);
            const bool tap7 = state & 0x80;
            const bool tap4 = state & 0x10;
            if (received != (tap7 != tap4)) {
                out |= uchar(1U << bit);
            }
            state = uchar(state * 2 + (received ? 2 : 0));
        }
        plain[i] = char(out);
    }
    return plain;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray reply(reinterpret_cast<const char*>(data), int(size));
    USBProtocol protocol;

    const QByteArray seed = protocol.CheckResScrambleSeen(reply);
    const QByteArray wantSeed = expectedSeed(reply);
    if (seed != wantSeed) {
        fail("CheckResScrambleSeen", reply, seed, wantSeed);
    }

    const QByteArray version = protocol.CheckResHardWareVersion(reply);
    const QByteArray wantVersion = expectedVersion(reply);
    if (version != wantVersion) {
        fail("CheckResHardWareVersion", reply, version, wantVersion);
    }

    if (size > 0) {
        const uchar init = data[0];
        const QByteArray frame = reply.mid(1);
        const QByteArray scrambled = protocol.Scrambler(init, frame);
        // Shorter sources come back padded with zero bytes to the three header bytes.
        QByteArray header = frame.left(3);
        header.append(QByteArray(3 - header.size(), '\0'));
        if (scrambled.size() != qMax(frame.size(), 3) || scrambled.left(3) != header) {
            fail("Scrambler length or header", frame, scrambled, header);
        }
        const QByteArray back = descramble(init, scrambled);
        if (back.mid(3) != frame.mid(3)) {
            fail("Scrambler does not round-trip", frame, back, frame);
        }
    }
    return 0;
}
