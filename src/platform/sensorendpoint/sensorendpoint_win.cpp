// SPDX-License-Identifier: GPL-3.0-or-later
#include "sensorendpoint.h"

#include <QCoreApplication>

namespace SensorEndpoint {
QString serverProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/" ORVANE_SENSOR_SUBDIR "/VOViredo.exe");
}

QString socketName(const QString& name)
{
    // A named pipe of that name.
    return name;
}

QString serverSocketName()
{
    return socketName(QLatin1String(SensorProtocol::kServerName));
}

bool isTaken(const QString&, QString*)
{
    // A pipe name cannot be taken by anything but another pipe.
    return false;
}
} // namespace SensorEndpoint
