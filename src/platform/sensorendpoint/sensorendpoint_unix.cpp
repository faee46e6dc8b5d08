#include "runtimefolder.h"
#include "sensorendpoint.h"

#include <QCoreApplication>

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
} // namespace SensorEndpoint
