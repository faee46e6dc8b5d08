// SPDX-License-Identifier: GPL-3.0-or-later
#include "descrambler.h"

namespace devsim {

void descramble(uint8_t seed, const uint8_t* in, uint8_t* out, size_t len)
{
    constexpr size_t clearBytes = 3;
    unsigned state = seed;
    for (size_t i = 0; i < len; ++i) {
        const uint8_t received = in[i];
        if (i < clearBytes) {
            out[i] = received;
            continue;
        }
        uint8_t plain = 0;
        for (int bit = 7; bit >= 0; --bit) {
            const unsigned sent = (received >> bit) & 1U;
            const unsigned tap = ((state >> 7) & 1U) ^ ((state >> 4) & 1U);
            plain = uint8_t(plain | ((sent ^ tap) << bit));
            // The state follows the bit on the wire, not the recovered one.
            state = (state * 2 + sent * 2) % 256;
        }
        out[i] = plain;
    }
}

} // namespace devsim
