// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtimefolder.h"
#include "sensorendpoint.h"

#include <QCoreApplication>
#include <QFile>
#include <sys/stat.h>

namespace SensorEndpoint {
QString serverProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/" ORVANE_SENSOR_SUBDIR "/VOViredo");
}

QString socketName(const QString& name)
{
    // A bare name would land in the shared temp folder, where another user could take it first; the runtime
    // folder belongs to this user alone (Qt creates a private one when XDG_RUNTIME_DIR is not set).
    const QString runtimeDir = RuntimeFolder::path();
    if (runtimeDir.isEmpty() || name.isEmpty()) {
        return QString();
    }
    return runtimeDir + QLatin1Char('/') + name;
}

QString serverSocketName()
{
    return socketName(QLatin1String(SensorProtocol::kServerName));
}

bool isTaken(const QString& socketName, QString* what)
{
    struct stat info = {};
    if (socketName.isEmpty() || ::lstat(QFile::encodeName(socketName).constData(), &info) != 0 ||
        S_ISSOCK(info.st_mode)) {
        return false;
    }
    *what = QStringLiteral("%1 is taken by a %2")
                .arg(socketName, S_ISDIR(info.st_mode) ? QStringLiteral("folder") : QStringLiteral("file"));
    return true;
}
} // namespace SensorEndpoint
