// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DISPLAYDEVICE_H
#define ORVANE_DISPLAYDEVICE_H

// The cooler's display as USB knows it: the program opens it by these ids and the simulator answers to them.
// scripts/contract.sh carries the same two for the scripts and the udev rule names them too.
namespace DisplayDevice {
constexpr unsigned short kVendorId = 0x0416;
constexpr unsigned short kProductId = 0x1100;
} // namespace DisplayDevice

#endif // ORVANE_DISPLAYDEVICE_H
