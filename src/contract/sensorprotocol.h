// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SENSORPROTOCOL_H
#define ORVANE_SENSORPROTOCOL_H

// What the program and its sensor server say to each other: the server's name (its one argument and the name of
// its local socket) and the two requests, each sent alone on a connection of its own. Plain text, no terminator.
// scripts/contract.sh carries the same for the scripts.
namespace SensorProtocol {
constexpr char kServerName[] = "KALVOR_HWInfoServer";
constexpr char kReadRequest[] = "readData";
constexpr char kStopRequest[] = "stopServer";
} // namespace SensorProtocol

#endif // ORVANE_SENSORPROTOCOL_H
