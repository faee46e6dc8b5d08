// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DEVSIM_SIMWIRE_H
#define ORVANE_DEVSIM_SIMWIRE_H

#include <cstdint>

// What hidapi_sim and orvane-devsim say to each other over the Unix socket, one connection per open device.
// Request: op (1 byte), payload size (uint32), payload. Answer: result (int32), payload size (uint32), payload.
// Both ends run on the same machine, so integers go in host order.
namespace devsim {
namespace wire {

enum Op : uint8_t {
    OpOpen = 1,   // payload: vendor id, product id (uint16 each); result 0 or -1 (absent)
    OpWrite = 2,  // payload: the report as hid_write got it; result: bytes taken or -1
    OpRead = 3,   // payload: buffer size (uint32), time-out ms (int32); result: bytes (in the payload), 0 or -1
    OpClose = 4,  // no payload; result 0
    OpPresent = 5 // no payload; result 1 while the device is plugged in, else 0 (hid_enumerate)
};

constexpr uint32_t kMaxPayload = 4096;
constexpr uint32_t kRequestHeaderSize = 1 + 4;
constexpr uint32_t kAnswerHeaderSize = 4 + 4;

} // namespace wire
} // namespace devsim

#endif // ORVANE_DEVSIM_SIMWIRE_H
