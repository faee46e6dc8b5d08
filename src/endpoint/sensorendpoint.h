// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SENSORENDPOINT_H
#define ORVANE_SENSORENDPOINT_H

#include "sensorprotocol.h"

#include <QString>

// Where the sensor server lives and where it listens. Shared by the program and the sensor server, so that both
// always agree on the socket.
namespace SensorEndpoint {
// The sensor server's executable in the folder beside the program.
QString serverProgram();

// What QLocalSocket and QLocalServer take for the server name `name`. Empty when there is no private place for it.
QString socketName(const QString& name);

// Where the program's own sensor server listens: socketName() of SensorProtocol::kServerName.
QString serverSocketName();

// True when something that is not a socket (a folder, a file) sits at `socketName`, so that no server can listen
// there; `what` then says so in words.
bool isTaken(const QString& socketName, QString* what);
} // namespace SensorEndpoint

#endif // ORVANE_SENSORENDPOINT_H
