// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DEVSIM_DESCRAMBLER_H
#define ORVANE_DEVSIM_DESCRAMBLER_H

#include <cstddef>
#include <cstdint>

namespace devsim {

// The device side of the value-frame scrambling: bytes 0..2 arrive in the clear, every later bit was sent as
// f = d ^ b7 ^ b4 with the state then stepping to 2b + 2f. Knowing the seed, the device recovers d bit by bit.
// `out` receives `len` bytes and may be the same buffer as `in`.
void descramble(uint8_t seed, const uint8_t* in, uint8_t* out, size_t len);

} // namespace devsim

#endif // ORVANE_DEVSIM_DESCRAMBLER_H
